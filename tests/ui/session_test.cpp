// Randomized sessions through the main window: a generated tree is searched, then a person
// browses and deletes at random (selections in both trees, previous and next duplicate,
// expand and collapse all, double clicks, trash clicks answered yes or no, drops, the
// folder's duplicates, a new search with clicks while it runs), some steps through the
// handlers and some through mouse events. After every step the trees, the disk, the
// recycle bin and the files outside the search must agree.
//
// CI plays fixed seeds. A longer session with any seed:
//   PARELIX_SESSION_SEED=1234 PARELIX_SESSION_STEPS=3000 build/tests/ui_session_test
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/Shell.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsWindow.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "ui/EcrPrin.h"
#include "ui/SpinButton.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace fs = std::filesystem;

namespace parelix {
namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

using Paths = std::set<std::string>;   // POSIX paths

using test::filesBelow;
using test::isUnder;
using test::preorder;

class Session {
public:
    explicit Session(std::uint64_t seed) : rng_(seed) {}

    void play(int steps) {
        startWindow();
        for (int step = 1; step <= steps && !::testing::Test::HasFailure(); ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            // Once most duplicates are gone, a fresh scene is searched.
            if (dbl().empty() || filesBelow(roots_).size() < 80) {
                generate();
                before_ = filesBelow(roots_);
                allowed_.clear();
                search(false);
                checkAll();
                if (::testing::Test::HasFailure()) return;
            }
            const std::string what = playStep();
            SCOPED_TRACE(what);
            checkAll();
        }
    }

private:
    // --- The scene ---------------------------------------------------------------------

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(*draw_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(*draw_); }
    std::string bytes(std::size_t size) {
        std::string s(size, '\0');
        for (char& c : s) c = static_cast<char>(below(256));
        return s;
    }

    // Two searched folders with nested folders, and a folder beside them that is never
    // searched but holds copies too. Duplicates come in twos, threes and dozens, among
    // unique files of the same sizes and a few empty files.
    void generate() {
        const std::string scene = base_.path() + "/scene" + std::to_string(++scenes_);
        roots_ = {scene + "/Alpha", scene + "/Bêta"};
        const std::string outside = scene + "/Dehors";
        std::vector<std::string> folders = {roots_[0], roots_[1], outside};
        for (int i = 0; i < 14; ++i) {
            const std::string parent = folders[static_cast<std::size_t>(below(static_cast<int>(folders.size())))];
            folders.push_back(parent + "/d" + std::to_string(i) + (chance(0.3) ? " é" : ""));
        }
        for (const std::string& f : folders) fs::create_directories(f);
        int serial = 0;
        auto place = [&](const std::string& content) {
            const std::string folder = folders[static_cast<std::size_t>(below(static_cast<int>(folders.size())))];
            const std::string path = folder + "/f" + std::to_string(serial++) + (chance(0.5) ? ".txt" : "");
            std::ofstream(path, std::ios::binary) << content;
        };
        std::vector<std::size_t> sizes;
        auto copies = [&](int sets, int count) {
            for (int s = 0; s < sets; ++s) {
                const std::size_t size = 1 + static_cast<std::size_t>(below(3000));
                sizes.push_back(size);
                const std::string content = bytes(size);
                for (int c = 0; c < count; ++c) place(content);
            }
        };
        copies(2, 12);
        copies(8, 3);
        copies(40, 2);
        for (int i = 0; i < 140; ++i)   // half of them of a duplicate's size
            place(bytes(i % 2 ? sizes[static_cast<std::size_t>(below(static_cast<int>(sizes.size())))]
                              : 1 + static_cast<std::size_t>(below(3000))));
        for (int i = 0; i < 3; ++i) place("");
        outside_[outside] = filesBelow({outside});
        // The search list holds the new scene's folders only.
        if (w_) {
            if (!ui_._PanSel->isVisible()) QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton);
            ui_.RepList->clear();
            for (const std::string& root : roots_) test::addSearchFolder(*w_, root);
        }
    }

    // --- The window --------------------------------------------------------------------

    void startWindow() {
        DriveTable::setCurrentForTesting(DriveTable::fromMounts({{"/", "ext4", "/dev/root", 8, 1}}));
        w_ = std::make_unique<T_EcrPrin>();
        ui_ = test::WindowControls(*w_);
        w_->show();
        QCoreApplication::processEvents();
    }

    TreeStore& dir() { return w_->trees().dirList; }
    TreeStore& dbl() { return w_->trees().dblList; }
    std::string posixOf(const std::string& windows) { return DriveTable::current().toPosix(windows).value_or("?"); }
    std::string pathOf(NodeId node) { return posixOf(w_->trees().nodePath(node)); }
    QTreeView* view(bool dirList) { return dirList ? ui_.DirList : ui_.DblList; }
    TreeModel* model(bool dirList) { return dirList ? ui_.dirModel : ui_.dblModel; }

    NodeId randomNode(const TreeStore& tree) {
        const std::vector<NodeId> all = preorder(tree);
        return all.empty() ? kNoNode : all[static_cast<std::size_t>(below(static_cast<int>(all.size())))];
    }

    // Clicks a node's row; false when the row is out of sight.
    bool clickRow(bool dirList, NodeId node) {
        const std::optional<QPoint> at = test::rowPoint(view(dirList), node);
        if (!at) return false;
        QTest::mouseClick(view(dirList)->viewport(), Qt::LeftButton, {}, *at);
        return true;
    }

    // What the window system sends for a double click: press, release, double click, release.
    void doubleClickAt(bool dirList, QPoint at) {
        QWidget* viewport = view(dirList)->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    // The node the trash, a double click or the spin button acts on: the focused tree's.
    bool focusOnDirList() { return w_->focusWidget() == ui_.DirList; }
    bool focusOnDblList() { return w_->focusWidget() == ui_.DblList; }

    // --- Steps -------------------------------------------------------------------------

    std::string playStep() {
        before_ = filesBelow(roots_);
        allowed_.clear();
        const int roll = below(100);
        if (roll < 16) return stepSelect(true);
        if (roll < 28) return stepSelect(false);
        if (roll < 42) return stepSpin(chance(0.5));
        if (roll < 45) return stepExpandAll(chance(0.5));
        if (roll < 52) return stepDoubleClick();
        if (roll < 70) return stepTrash();
        if (roll < 80) return stepDrop();
        if (roll < 88) return stepFolderDuplicates();
        if (roll < 91) return stepFocusElsewhere();
        if (roll < 94) return stepSearchAgain();
        return stepSelect(chance(0.5));
    }

    std::string stepSelect(bool dirList) {
        TreeStore& tree = dirList ? dir() : dbl();
        const NodeId node = randomNode(tree);
        if (node == kNoNode) return "nothing to select";
        const bool already = tree.selected() == node;
        bool mouse = chance(0.5);
        SCOPED_TRACE(std::string(mouse ? "click on " : "select ") + (dirList ? "DirList " : "DblList ") +
                     tree.text(node) + " #" + std::to_string(node));
        if (mouse) mouse = clickRow(dirList, node);
        if (!mouse) {
            view(dirList)->setFocus();
            tree.select(node);
        }
        EXPECT_EQ(tree.selected(), node);
        EXPECT_EQ(w_->focusWidget(), view(dirList));
        // The other tree follows the link, when the selection moved.
        const NodeId link = tree.link(node);
        if (link != kNoNode && !already) {
            EXPECT_EQ((dirList ? dbl() : dir()).selected(), link);
        }
        return std::string(mouse ? "click on " : "select ") + (dirList ? "DirList " : "DblList ") + tree.text(node);
    }

    std::string stepSpin(bool down) {
        const bool onDir = focusOnDirList();
        const bool onDbl = focusOnDblList();
        TreeStore* tree = onDir ? &dir() : onDbl ? &dbl() : nullptr;
        NodeId expected = tree ? tree->selected() : kNoNode;
        const NodeId from = expected;
        if (tree && from != kNoNode) {
            const std::vector<NodeId> order = preorder(*tree);
            auto at = std::find(order.begin(), order.end(), from);
            if (down) {
                auto it = std::find_if(at + 1, order.end(), [&](NodeId n) { return tree->link(n) != kNoNode; });
                if (it != order.end()) expected = *it;
            } else {
                auto rit = std::find_if(std::make_reverse_iterator(at), order.rend(),
                                        [&](NodeId n) { return tree->link(n) != kNoNode; });
                if (rit != order.rend()) expected = *rit;
            }
        }
        const bool mouse = chance(0.5);
        if (mouse) {
            const QPoint arrow(ui_.BtnPrecSuiv->width() / 2, down ? ui_.BtnPrecSuiv->height() - 4 : 4);
            QTest::mouseClick(ui_.BtnPrecSuiv, Qt::LeftButton, {}, arrow);
        } else if (down) {
            w_->BtnPrecSuivDownClick();
        } else {
            w_->BtnPrecSuivUpClick();
        }
        if (tree) {
            EXPECT_EQ(tree->selected(), expected);
        }
        return std::string(down ? "next" : "previous") + " duplicate" + (mouse ? " by the arrow" : "");
    }

    std::string stepExpandAll(bool expand) {
        if (chance(0.5)) {
            (expand ? w_->ToutDeplierClick() : w_->ToutReplierClick());
            return expand ? "expand all" : "collapse all";
        }
        triggerMenu(expand ? QStringLiteral("Tout &Déplier") : QStringLiteral("Tout &Replier"));
        return std::string(expand ? "expand all" : "collapse all") + " from the menu";
    }

    // Opens PopMenu by a context-menu event on DirList and clicks one of its items.
    void triggerMenu(const QString& caption) {
        const QPoint at(10, ui_.DirList->viewport()->height() - 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, ui_.DirList->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(ui_.DirList->viewport(), &event);
        if (!ui_.PopMenu->isVisible()) {
            ADD_FAILURE() << "the context menu did not open";
            return;
        }
        for (QAction* action : ui_.PopMenu->actions())
            if (action->text() == caption) {
                QTest::mouseClick(ui_.PopMenu, Qt::LeftButton, {}, ui_.PopMenu->actionGeometry(action).center());
                break;
            }
        EXPECT_FALSE(ui_.PopMenu->isVisible());
        EXPECT_EQ(w_->focusWidget(), ui_.DirList);
    }

    std::string stepDoubleClick() {
        const int how = below(3);
        // DirList's rows are often wider than the view: beside a row means DblList then.
        const bool dirList = how != 1 && chance(0.5);
        TreeStore& tree = dirList ? dir() : dbl();
        if (tree.empty()) return "nothing to open";
        launched_.clear();
        NodeId target = tree.selected();
        std::optional<QPoint> row;
        if (how == 0 && (row = test::rowPoint(view(dirList), randomNode(tree)))) {   // on a row: the row is selected first
            target = model(dirList)->nodeOf(view(dirList)->indexAt(*row));
            doubleClickAt(dirList, *row);
        } else if (how == 1 && target != kNoNode && (row = test::rowPoint(view(dirList), target))) {
            // In the selected row's band, right of its text.
            const QPoint beside(view(dirList)->viewport()->width() - 3, row->y());
            if (view(dirList)->indexAt(beside).isValid()) return "no room beside the row";
            doubleClickAt(dirList, beside);
        } else {
            (dirList ? w_->DirListDblClick() : w_->DblListDblClick());
        }
        SCOPED_TRACE(std::string("double click ") + (how == 0 ? "on a row" : how == 1 ? "beside a row" : "handler") +
                     (dirList ? " of DirList " : " of DblList ") + (target == kNoNode ? "" : tree.text(target)));
        std::vector<std::string> expected;
        if (target != kNoNode && (dirList || tree.link(target) != kNoNode))
            expected.push_back(dirList ? pathOf(target) : posixOf(tree.text(target)));
        EXPECT_EQ(launched_, expected);
        return std::string("double click ") + (how == 0 ? "on a row" : how == 1 ? "beside a row" : "handler") +
               (dirList ? " of DirList" : " of DblList");
    }

    // Answers the shell's question: a search root goes rarely, anything else often.
    void chooseAnswer(NodeId dirNode) { answer_ = chance(dirNode != kNoNode && w_->trees().isSearchRoot(dirNode) ? 0.2 : 0.75); }

    std::string stepTrash() {
        const bool onDir = focusOnDirList();
        const bool onDbl = focusOnDblList();
        NodeId target = kNoNode;
        NodeId dirNode = kNoNode;
        if (onDir) dirNode = target = dir().selected();
        if (onDbl && dbl().selected() != kNoNode && dbl().childCount(dbl().selected()) == 0) {
            target = dbl().selected();
            dirNode = dbl().link(target);
        }
        chooseAnswer(dirNode);
        questions_.clear();
        const std::string path = dirNode != kNoNode ? pathOf(dirNode) : std::string();
        const bool mouse = chance(0.5);
        if (mouse) QTest::mouseClick(ui_.Poubelle, Qt::LeftButton);
        else w_->PoubelleClick();
        if (dirNode == kNoNode) {
            EXPECT_TRUE(questions_.empty());
            return "trash click on nothing";
        }
        EXPECT_EQ(questions_, std::vector<std::string>{"Voulez-vous vraiment envoyer « " +
                                                       fs::path(path).filename().string() + " » dans la Corbeille ?"});
        if (answer_) allowed_.push_back(path);
        expectGone(path, answer_);
        return std::string("trash click") + (mouse ? "" : " (handler)") + ", " + (answer_ ? "yes" : "no") + ": " + path;
    }

    std::string stepDrop() {
        const NodeId node = dir().selected();
        if (node == kNoNode) return "drop of nothing";
        const bool root = w_->trees().isSearchRoot(node);
        chooseAnswer(node);
        questions_.clear();
        const std::string path = pathOf(node);
        w_->PoubelleDragDrop(ui_.DirList);
        // A fixed drive: only a search root is asked for.
        EXPECT_EQ(questions_.size(), root ? 1u : 0u);
        const bool goes = !root || answer_;
        if (goes) allowed_.push_back(path);
        expectGone(path, goes);
        return "drop of " + path + (root ? answer_ ? " (root, yes)" : " (root, no)" : "");
    }

    std::string stepFolderDuplicates() {
        const NodeId s = dir().selected();
        if (s == kNoNode) return "folder duplicates of nothing";
        const std::string where = pathOf(s);
        const NodeId folder = dir().childCount(s) > 0 ? s : dir().parent(s);
        // The walk, backwards: a file goes while its group still has another member.
        std::map<NodeId, int> members;
        for (NodeId g : dbl().children(kNoNode)) members[g] = dbl().childCount(g);
        const std::vector<NodeId>& kids = folder == kNoNode ? dir().children(kNoNode) : dir().children(folder);
        std::vector<std::string> expected;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            const NodeId m = dir().link(*it);
            if (m == kNoNode || dir().childCount(*it) > 0) continue;
            int& left = members[dbl().parent(m)];
            if (left < 2) continue;
            --left;
            expected.push_back(pathOf(*it));
        }
        questions_.clear();
        if (chance(0.5)) triggerMenu(QStringLiteral("Supprime les doubles de ce répertoire"));
        else w_->SupDblsDuRepClick();
        EXPECT_TRUE(questions_.empty());
        for (const std::string& p : expected) {
            allowed_.push_back(p);
            expectGone(p, true);
        }
        return "duplicates of the folder of " + where + ": " + std::to_string(expected.size()) + " files";
    }

    std::string stepFocusElsewhere() {
        QTest::mouseClick(ui_.Infos->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(w_->focusWidget(), ui_.Infos);
        return "click in the log";
    }

    std::string stepSearchAgain() {
        search(true);
        return "a new search, clicks while it runs";
    }

    // Stop's third role back to the selection, then Cherche. While it runs, a person clicks
    // rows shown so far and tries the trash, a drop and the folder's duplicates: none may
    // delete before "Fini !", and the run's end leaves the last row clicked selected.
    void search(bool busyHands) {
        if (!ui_._PanSel->isVisible()) QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton);
        ASSERT_TRUE(ui_._PanSel->isVisible());
        // A searched folder sent to the recycle bin leaves the list, as a person would take it out.
        for (int i = ui_.RepList->count() - 1; i >= 0; --i)
            if (!fs::exists(posixOf(ui_.RepList->item(i)->data(Qt::UserRole).toByteArray().toStdString())))
                delete ui_.RepList->takeItem(i);
        if (ui_.RepList->count() == 0) {
            QTest::mouseClick(ui_.BtnRevoir, Qt::LeftButton);
            return;
        }
        const bool filesToFind = !filesBelow(roots_).empty();
        const std::size_t questionsBefore = questions_.size();
        bool pickDir = false;
        NodeId picked = kNoNode;
        QTimer hands;
        QObject::connect(&hands, &QTimer::timeout, [&] {
            const QString last = test::lastLogLine(*w_);
            if (last.isEmpty() || last == QStringLiteral("Fini !") || !chance(0.7)) return;
            // A click on a row shown so far, then maybe a way to the trash.
            const bool dirList = chance(0.6);
            model(dirList)->flush();   // the batch on screen
            const NodeId node = randomNode(dirList ? dir() : dbl());
            if (node != kNoNode && clickRow(dirList, node) && (dirList ? dir() : dbl()).selected() == node) {
                pickDir = dirList;
                picked = node;
            }
            switch (below(4)) {
            case 0:
                QTest::mouseClick(ui_.Poubelle, Qt::LeftButton);
                break;
            case 1:
                w_->PoubelleDragDrop(ui_.DirList);
                break;
            case 2:
                w_->SupDblsDuRepClick();
                break;
            default:
                break;
            }
            const std::size_t lines = static_cast<std::size_t>(ui_.Infos->count());
            for (std::size_t i = 0; i < lines; ++i)
                EXPECT_FALSE(ui_.Infos->item(static_cast<int>(i))->text().startsWith(QStringLiteral("Effacement")));
        });
        // The run's event turns come as the clock says: the hands draw from their own
        // sequence, so that the session's steps stay the seed's.
        std::mt19937_64 handsRng(rng_());
        draw_ = &handsRng;
        if (busyHands) hands.start(0);
        QTest::mouseClick(ui_.BtnCherche, Qt::LeftButton);
        hands.stop();
        draw_ = &rng_;
        EXPECT_EQ(questions_.size(), questionsBefore);
        EXPECT_EQ(test::lastLogLine(*w_),
                  filesToFind ? QStringLiteral("Fini !") : QStringLiteral("Aucun fichier à traiter !"));
        if (picked != kNoNode) {
            EXPECT_EQ((pickDir ? dir() : dbl()).selected(), picked) << "a click made while the run went on was lost";
            EXPECT_EQ(w_->focusWidget(), view(pickDir));
        } else if (filesToFind) {
            EXPECT_EQ(dir().selected(), dir().firstRoot());
            EXPECT_EQ(w_->focusWidget(), ui_.DirList);
        }
        // The groups are the disk's: every set of equal files below the searched folders.
        std::map<std::string, Paths> byContent;
        for (const auto& [path, content] : filesBelow(roots_)) byContent[content].insert(path);
        std::set<Paths> expected;
        for (const auto& [content, paths] : byContent)
            if (paths.size() >= 2) expected.insert(paths);
        EXPECT_EQ(groupsShown(), expected);
    }

    std::set<Paths> groupsShown() {
        std::set<Paths> groups;
        for (NodeId g : dbl().children(kNoNode)) {
            Paths members;
            for (NodeId m : dbl().children(g)) members.insert(posixOf(dbl().text(m)));
            groups.insert(members);
        }
        return groups;
    }

    void expectGone(const std::string& path, bool gone) {
        EXPECT_EQ(!fs::exists(path), gone) << path;
    }

    // --- What must hold after every step -----------------------------------------------

    void checkAll() {
        const std::map<std::string, std::string> now = filesBelow(roots_);
        checkDisk(now);
        checkTrees(now);
        checkMarks();
        for (const auto& [folder, files] : outside_)
            EXPECT_EQ(filesBelow({folder}), files) << "a file outside the search changed";
        EXPECT_TRUE(messages_.shown.empty()) << messages_.shown.front().text;
        messages_.shown.clear();
        EXPECT_FALSE(QApplication::overrideCursor());
        EXPECT_TRUE(w_->updatesEnabled());
    }

    // Files that left the disk were named by the step and lie in the recycle bin.
    void checkDisk(const std::map<std::string, std::string>& now) {
        const Paths trashed = test::trashedPaths(trash.info());
        for (const auto& [path, content] : before_) {
            if (now.count(path)) continue;
            const bool named = std::any_of(allowed_.begin(), allowed_.end(), [&](const std::string& a) { return isUnder(path, a); });
            EXPECT_TRUE(named) << path << " left the disk unasked";
            const bool inTrash = std::any_of(trashed.begin(), trashed.end(), [&](const std::string& t) { return isUnder(path, t); });
            EXPECT_TRUE(inTrash) << path << " is not in the recycle bin";
        }
        for (const auto& [path, content] : now) EXPECT_TRUE(before_.count(path)) << path << " appeared";
    }

    // DirList shows exactly what is on disk below the searched folders (a search root gone
    // with its folder leaves no node), and DblList's groups are the disk's equal files.
    void checkTrees(const std::map<std::string, std::string>& now) {
        Paths filesInTree;
        for (NodeId n : preorder(dir())) {
            const std::string path = pathOf(n);
            if (w_->trees().isFileNode(n)) {
                filesInTree.insert(path);
                EXPECT_TRUE(fs::is_regular_file(path)) << path << " has a node but is gone";
            } else {
                EXPECT_TRUE(fs::is_directory(path)) << path << " has a node but is gone";
            }
        }
        for (const auto& [path, content] : now) EXPECT_TRUE(filesInTree.count(path)) << path << " is on disk without a node";
        for (NodeId g : dbl().children(kNoNode)) {
            EXPECT_GE(dbl().childCount(g), 2);
            std::set<std::string> contents;
            for (NodeId m : dbl().children(g)) {
                const NodeId f = dbl().link(m);
                ASSERT_TRUE(dir().isValid(f)) << dbl().text(m);
                EXPECT_EQ(dir().link(f), m);
                EXPECT_EQ(dbl().text(m), w_->trees().nodePath(f));
                const auto it = now.find(posixOf(dbl().text(m)));
                ASSERT_NE(it, now.end()) << dbl().text(m);
                contents.insert(it->second);
                EXPECT_EQ(dbl().text(g), "(" + std::to_string(it->second.size()) + ")");
            }
            EXPECT_EQ(contents.size(), 1u) << "a group of files that differ";
        }
    }

    // Counters count the linked files below; a mark shows exactly on a closed node with a
    // duplicate below, and on every linked file.
    void checkMarks() {
        std::map<NodeId, int> linkedBelow;
        const std::vector<NodeId> order = preorder(dir());
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            const NodeId n = *it;
            int count = dir().link(n) != kNoNode ? 1 : 0;
            for (NodeId c : dir().children(n)) count += linkedBelow[c];
            linkedBelow[n] = count;
            EXPECT_EQ(dir().counter(n), count) << dir().text(n);
            const bool marked = (dir().imageIndex(n) & 1) != 0;
            EXPECT_EQ(marked, (dir().selectedIndex(n) & 1) != 0) << dir().text(n);
            EXPECT_EQ(marked, count > 0 && !dir().isExpanded(n)) << dir().text(n);
            if (dir().link(n) != kNoNode) {
                EXPECT_TRUE(w_->trees().isFileNode(n));
                EXPECT_EQ(dbl().link(dir().link(n)), n);
            }
        }
    }

    std::mt19937_64 rng_;
    std::mt19937_64* draw_ = &rng_;
    test::TempDir base_;
    std::vector<std::string> roots_;
    int scenes_ = 0;
    std::map<std::string, std::map<std::string, std::string>> outside_;   // never searched, never changed
    std::map<std::string, std::string> before_;
    std::vector<std::string> allowed_;   // what the step may send to the recycle bin
    // Message boxes and the shell's dialogs are recorded for as long as the window lives.
    test::MessageRecorder messages_;
    test::ShellRecorder shell_{[this](const std::string& m) { messages_.shown.push_back({m, "", MessageKind::Error}); }};
    bool& answer_ = shell_.answer;
    std::vector<std::string>& questions_ = shell_.questions;
    std::vector<std::string>& launched_ = shell_.launched;
    std::unique_ptr<T_EcrPrin> w_;
    test::WindowControls ui_;
};

class SessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureProgramApplication(); }
};

TEST_F(SessionTest, RandomBrowsingAndDeletionKeepTreesDiskAndRecycleBinInStep) {
    std::vector<std::uint64_t> seeds{1, 2, 3};
    int steps = 120;
    if (const char* seed = std::getenv("PARELIX_SESSION_SEED")) seeds = {std::strtoull(seed, nullptr, 10)};
    if (const char* n = std::getenv("PARELIX_SESSION_STEPS")) steps = std::atoi(n);
    for (std::uint64_t seed : seeds) {
        SCOPED_TRACE("PARELIX_SESSION_SEED=" + std::to_string(seed));
        Session(seed).play(steps);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace parelix
