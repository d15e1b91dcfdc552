#pragma once
// What the randomized sessions (session_test.cpp) stand on: the scene they search, the window
// and its controls, the search with busy hands, and what must hold after every step: the
// trees, the disk, the recycle bin and the files outside the search agree.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest/QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "platform/Drives.h"
#include "results/SpaceFigures.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/TestSupport.h"
#include "support/UiApplication.h"
#include "support/WindowFixture.h"
#include "ui/StatusBar.h"
#include "ui/EcrPrin.h"
#include "ui/TrashLabel.h"
#include "ui/TreeModel.h"

namespace parelix::session {

namespace fs = std::filesystem;

using Paths = std::set<std::string>;   // POSIX paths

using test::filesBelow;
using test::isUnder;
using test::preorder;

class SessionBase {
public:
    SessionBase(std::uint64_t seed, const test::PrivateTrash& trash) : rng_(seed), trash_(trash) {}

protected:
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
    // unique files of the same sizes and a few empty files. The third searched folder is the
    // data folder of the home, which holds the recycle bin, as ~/.local/share does: copies
    // lie in the bin from the start, and every file sent away lands there.
    void generate() {
        const std::string scene = base_.path() + "/scene" + std::to_string(++scenes_);
        const std::string data = fs::path(trash_.files()).parent_path().parent_path().string();
        if (!homeDocuments_.empty()) fs::remove_all(homeDocuments_);
        homeDocuments_ = data + "/Documents" + std::to_string(scenes_);
        roots_ = {scene + "/Alpha", scene + "/Bêta", data};
        const std::string outside = scene + "/Dehors";
        std::vector<std::string> folders = {roots_[0], roots_[1], outside, homeDocuments_};
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
        // A copy already in the bin, under a name of its own.
        auto trashed = [&](const std::string& content) {
            const std::string name = "t" + std::to_string(scenes_) + "-" + std::to_string(serial++);
            fs::create_directories(trash_.files());
            fs::create_directories(trash_.info());
            std::ofstream(trash_.files() + "/" + name, std::ios::binary) << content;
            std::ofstream(trash_.info() + "/" + name + ".trashinfo")
                << "[Trash Info]\nPath=/autrefois/" << name << "\nDeletionDate=2026-01-01T00:00:00\n";
        };
        auto copies = [&](int sets, int count) {
            for (int s = 0; s < sets; ++s) {
                const std::size_t size = 1 + static_cast<std::size_t>(below(3000));
                sizes.push_back(size);
                const std::string content = bytes(size);
                for (int c = 0; c < count; ++c) place(content);
                if (chance(0.3)) trashed(content);
            }
        };
        copies(2, 12);
        copies(8, 3);
        copies(40, 2);
        for (int i = 0; i < 140; ++i)   // half of them of a duplicate's size
            place(bytes(i % 2 ? sizes[static_cast<std::size_t>(below(static_cast<int>(sizes.size())))]
                              : 1 + static_cast<std::size_t>(below(3000))));
        for (int i = 0; i < 3; ++i) place("");
        // Files whose only other copy is in the bin: not duplicates.
        for (int i = 0; i < 6; ++i) {
            const std::string content = bytes(1 + static_cast<std::size_t>(below(3000)));
            place(content);
            trashed(content);
        }
        outside_[outside] = filesBelow({outside});
        // The search list holds the new scene's folders only.
        if (w_) {
            if (!ui_._PanSel->isVisible()) QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton);
            while (!w_->session().pathSelection().entries().empty()) removeSearchPath(0);
            for (const std::string& root : roots_) test::addSearchFolder(*w_, root);
        }
    }

    // The searched files, the recycle bin's left out: what a search must find.
    std::map<std::string, std::string> searchedFiles() {
        std::map<std::string, std::string> files = filesBelow(roots_);
        std::erase_if(files, [&](const auto& file) { return inTrash(file.first); });
        return files;
    }
    bool inTrash(const std::string& path) const {
        return isUnder(path, fs::path(trash_.files()).parent_path().string());
    }
    // The bin's own folders never go: a person does not send the bin into itself.
    bool holdsTrash(const std::string& path) const {
        return isUnder(fs::path(trash_.files()).parent_path().string(), path);
    }

    // --- The window --------------------------------------------------------------------

    void startWindow() {
        services_.forget();
        session_ = std::make_unique<Session>(services_);
        w_ = std::make_unique<T_EcrPrin>(*session_);
        ui_ = test::WindowControls(*w_);
        // Every step also keeps the result trees' models within the rules of item models.
        dirChecked_ = std::make_unique<test::ModelChecker>(*ui_.dirModel);
        dblChecked_ = std::make_unique<test::ModelChecker>(*ui_.dblModel);
        w_->show();
        QCoreApplication::processEvents();
    }

    TreeStore& dir() { return w_->session().viewStores().results.dirList; }
    TreeStore& dbl() { return w_->session().viewStores().results.dblList; }
    std::string posixOf(const std::string& windows) { return DriveTable::current().toPosix(windows).value_or("?"); }
    std::string pathOf(NodeId node) { return posixOf(w_->session().trees().nodePath(node)); }
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

    // Entry i of the search list picked and taken out, as by BtnEnleve.
    void removeSearchPath(int i) {
        w_->session().pickEntry(PathList::Search, i);
        w_->session().removeEntry();
    }

    // Stop's third role back to the selection, then Cherche. While it runs, a person clicks
    // rows shown so far and tries the trash, a drop and the folder's duplicates: none may
    // delete before "Fini !", and the run's end leaves the last row clicked selected.
    void search(bool busyHands) {
        if (!ui_._PanSel->isVisible()) QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton);
        ASSERT_TRUE(ui_._PanSel->isVisible());
        // A searched folder sent to the recycle bin leaves the list, as a person would take it out.
        const std::vector<SearchEntry>& entries = w_->session().pathSelection().entries();
        for (int i = static_cast<int>(entries.size()) - 1; i >= 0; --i)
            if (!fs::exists(posixOf(entries[static_cast<std::size_t>(i)].text))) removeSearchPath(i);
        if (entries.empty()) {
            QTest::mouseClick(ui_.BtnRevoir, Qt::LeftButton);
            return;
        }
        const bool filesToFind = !searchedFiles().empty();
        const std::size_t questionsBefore = questions_.size();
        bool pickDir = false;
        NodeId picked = kNoNode;
        QTimer hands;
        QObject::connect(&hands, &QTimer::timeout, [&] { busyHand(pickDir, picked); });
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
        expectTheDisksGroups();
    }

    // One event turn of a busy person during the run: a click on a row shown so far (noted
    // in pickDir and picked when it selected the row), then maybe a way to the trash, which
    // must delete nothing.
    void busyHand(bool& pickDir, NodeId& picked) {
        const QString last = test::lastLogLine(*w_);
        if (last.isEmpty() || last == QStringLiteral("Fini !") || !chance(0.7)) return;
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
    }

    // The groups are the disk's: every set of equal files below the searched folders.
    void expectTheDisksGroups() {
        std::map<std::string, Paths> byContent;
        for (const auto& [path, content] : searchedFiles()) byContent[content].insert(path);
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
        const std::map<std::string, std::string> now = searchedFiles();
        checkDisk(now);
        if (duplicatesOnly_) checkLastCopies(now);
        checkTrees(now);
        checkMarks();
        checkFigures(now);
        for (const auto& [folder, files] : outside_)
            EXPECT_EQ(filesBelow({folder}), files) << "a file outside the search changed";
        EXPECT_TRUE(messages_.shown.empty()) << messages_.shown.front().text;
        messages_.shown.clear();
        EXPECT_FALSE(QApplication::overrideCursor());
        EXPECT_TRUE(w_->updatesEnabled());
    }

    // Files that left the disk were named by the step and lie in the recycle bin.
    void checkDisk(const std::map<std::string, std::string>& now) {
        const Paths trashed = test::trashedPaths(trash_.info());
        for (const auto& [path, content] : before_) {
            if (now.count(path) || external_.count(path)) continue;
            const bool named = std::any_of(allowed_.begin(), allowed_.end(), [&](const std::string& a) { return isUnder(path, a); });
            EXPECT_TRUE(named) << path << " left the disk unasked";
            const bool inTrash = std::any_of(trashed.begin(), trashed.end(), [&](const std::string& t) { return isUnder(path, t); });
            EXPECT_TRUE(inTrash) << path << " is not in the recycle bin";
        }
        for (const auto& [path, content] : now) EXPECT_TRUE(before_.count(path)) << path << " appeared";
    }

    // A step that sends duplicates away as such (not a folder, not a unique file) leaves a
    // copy of each on disk, outside the recycle bin, whatever happened to the other copies
    // meanwhile.
    void checkLastCopies(const std::map<std::string, std::string>& now) {
        std::set<std::string> contents;
        for (const auto& [path, content] : now) contents.insert(content);
        for (const auto& [folder, files] : outside_)
            for (const auto& [path, content] : files) contents.insert(content);
        for (const auto& [path, content] : linkedBefore_)
            if (!now.count(path) && !external_.count(path) && !wentBefore_.count(path)) {
                EXPECT_TRUE(contents.count(content)) << path << ": the last copy left the disk";
            }
    }

    // The files shown as duplicates, with their contents, as a step starts.
    std::map<std::string, std::string> linkedFiles() {
        std::map<std::string, std::string> linked;
        for (NodeId n : preorder(dir()))
            if (dir().link(n) != kNoNode && before_.count(pathOf(n))) linked[pathOf(n)] = before_.at(pathOf(n));
        return linked;
    }

    // Behind the program's back, as another program would: a file goes, or changes its
    // bytes at the same size.
    void changeBehind(const std::string& path, bool remove) {
        if (!fs::exists(path)) return;
        // A copy of these bytes that went before this change went while this one was there.
        const std::string old = test::readFile(path);
        for (const auto& [p, content] : linkedBefore_)
            if (content == old && !fs::exists(p)) wentBefore_.insert(p);
        if (remove) {
            fs::remove(path);
            external_.insert(path);
            return;
        }
        std::string content = old.empty() ? std::string("x") : old;   // an empty file only grows
        content[0] = static_cast<char>(content[0] ^ 0x5A);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }

    // Which folders of DirList are open: a deletion leaves them as the user left them.
    std::map<NodeId, bool> openFolders() {
        std::map<NodeId, bool> open;
        for (NodeId n : preorder(dir()))
            if (dir().childCount(n) > 0) open[n] = dir().isExpanded(n);
        return open;
    }
    void expectFoldersAsLeft(const std::map<NodeId, bool>& before) {
        for (const auto& [node, open] : before)
            if (dir().isValid(node) && dir().childCount(node) > 0) {
                EXPECT_EQ(dir().isExpanded(node), open) << dir().text(node);
            }
    }

    // --- After a deletion: the linked selection ---------------------------------------

    // Once a deletion has removed nodes (nodesBefore: DirList's count as it started), each
    // tree's selection and the other's linked one agree, and a click on either tree's
    // selected row keeps them so. Then, whatever the deletion did, a click on the row beside
    // each tree's selected row moves the other tree along the link.
    void checkLinkedClicks(std::size_t nodesBefore) {
        SCOPED_TRACE("the linked selection after the deletion");
        if (dir().nodeCount() != nodesBefore) {
            expectSelectionsAgree();
            for (bool dirList : {false, true}) {
                const NodeId selected = (dirList ? dir() : dbl()).selected();
                if (selected != kNoNode && clickRow(dirList, selected)) expectFollowed(dirList, selected, false);
            }
        }
        const bool dirFirst = chance(0.5);
        for (bool dirList : {dirFirst, !dirFirst}) {
            TreeStore& tree = dirList ? dir() : dbl();
            const NodeId selected = tree.selected();
            QModelIndex beside = model(dirList)->index(0, 0, {});
            if (selected != kNoNode) {
                const QModelIndex at = model(dirList)->indexOf(selected);
                beside = view(dirList)->indexBelow(at);
                if (!beside.isValid()) beside = view(dirList)->indexAbove(at);
            }
            if (!beside.isValid()) continue;
            const NodeId node = model(dirList)->nodeOf(beside);
            SCOPED_TRACE(std::string("a click beside, on ") + (dirList ? "DirList " : "DblList ") + tree.text(node));
            if (!clickRow(dirList, node)) continue;
            EXPECT_EQ(tree.selected(), node);
            expectFollowed(dirList, node, true);
        }
    }

    void expectSelectionsAgree() {
        const NodeId inDir = dir().selected();
        const NodeId inDbl = dbl().selected();
        if (inDir != kNoNode && dir().link(inDir) != kNoNode) {
            EXPECT_EQ(inDbl, dir().link(inDir)) << "DblList does not stand on " << dir().text(inDir);
        }
        if (inDbl != kNoNode && dbl().link(inDbl) != kNoNode) {
            EXPECT_EQ(inDir, dbl().link(inDbl)) << "DirList does not stand on " << dbl().text(inDbl);
        }
    }

    // After a click on node of one tree: the other tree stands on its counterpart, with its
    // highlight shown, or hides its highlight when node has none; the status bar describes
    // DirList's node. moved: the click changed the selection (the highlights were set anew).
    void expectFollowed(bool dirList, NodeId node, bool moved) {
        const TreeStore& tree = dirList ? dir() : dbl();
        const TreeStore& other = dirList ? dbl() : dir();
        const NodeId link = tree.link(node);
        const bool otherHidden = view(!dirList)->property("hideSelection").toBool();
        if (link != kNoNode) {
            EXPECT_EQ(other.selected(), link) << tree.text(node);
            if (moved) {
                EXPECT_FALSE(otherHidden) << tree.text(node);
            }
        } else {
            EXPECT_TRUE(otherHidden) << tree.text(node);
        }
        const NodeId described = dirList ? node : link;
        if (described != kNoNode) {
            EXPECT_EQ(ui_.Etat->simpleText().toStdString(), statusTextFor(w_->session().trees(), described));
        }
    }

    // DirList shows exactly what is on disk below the searched folders (a search root gone
    // with its folder leaves no node), and DblList's groups are the disk's equal files.
    void checkTrees(const std::map<std::string, std::string>& now) {
        Paths filesInTree;
        for (NodeId n : preorder(dir())) {
            const std::string path = pathOf(n);
            EXPECT_FALSE(inTrash(path)) << path << " lies in the recycle bin and has a node";
            if (w_->session().trees().isFileNode(n)) {
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
                EXPECT_EQ(dbl().text(m), w_->session().trees().nodePath(f));
                const auto it = now.find(posixOf(dbl().text(m)));
                ASSERT_NE(it, now.end()) << dbl().text(m);
                contents.insert(it->second);
                EXPECT_EQ(dbl().text(g), "(" + std::to_string(it->second.size()) + ")");
            }
            EXPECT_EQ(contents.size(), 1u) << "a group of files that differ";
        }
    }

    // The figures under DblList's title: the extra copies counted from DirList's links with
    // the sizes on disk, and the bytes of every file that went to the recycle bin so far.
    void checkFigures(const std::map<std::string, std::string>& now) {
        for (const auto& [path, content] : before_)
            if (!now.count(path) && !external_.count(path)) freedBytes_ += content.size();
        std::map<NodeId, std::pair<std::uint64_t, std::uint64_t>> groups;   // members, size
        for (NodeId n : preorder(dir()))
            if (dir().link(n) != kNoNode && now.count(pathOf(n))) {
                auto& [members, size] = groups[dbl().parent(dir().link(n))];
                ++members;
                size = now.at(pathOf(n)).size();
            }
        ExtraCopies extra;
        for (const auto& [group, counted] : groups) {
            extra.files += counted.first - 1;
            extra.bytes += (counted.first - 1) * counted.second;
        }
        const Freed freed{w_->session().freed().sent, freedBytes_};
        EXPECT_EQ(ui_.EspaceDblList->text().toStdString(), spaceFiguresText(extra, freed));
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
                EXPECT_TRUE(w_->session().trees().isFileNode(n));
                EXPECT_EQ(dbl().link(dir().link(n)), n);
            }
        }
    }

    std::mt19937_64 rng_;
    const test::PrivateTrash& trash_;
    std::mt19937_64* draw_ = &rng_;
    test::TempDir base_;
    std::vector<std::string> roots_;
    std::string homeDocuments_;   // the scene's files in the searched data folder
    int scenes_ = 0;
    std::map<std::string, std::map<std::string, std::string>> outside_;   // never searched, never changed
    std::map<std::string, std::string> before_;
    std::vector<std::string> allowed_;   // what the step may send to the recycle bin
    Paths external_;                     // what the step removed behind the program's back
    Paths wentBefore_;                   // duplicates that went before their copy changed
    bool duplicatesOnly_ = false;        // the step sends duplicates away as such
    std::map<std::string, std::string> linkedBefore_;   // duplicates as the step starts
    std::uint64_t freedBytes_ = 0;       // what went to the recycle bin since the window came
    // Message boxes and the shell's dialogs are recorded.
    test::RecordingServices& services_ = test::programServices();
    test::RecordingServices& messages_ = services_;
    bool& answer_ = services_.answer;
    std::vector<std::string>& questions_ = services_.questions;
    std::vector<std::string>& launched_ = services_.launched;
    std::unique_ptr<Session> session_;   // outlives the window
    std::unique_ptr<T_EcrPrin> w_;
    test::WindowControls ui_;
    std::unique_ptr<test::ModelChecker> dirChecked_;
    std::unique_ptr<test::ModelChecker> dblChecked_;
};

}  // namespace parelix::session
