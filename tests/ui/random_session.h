#pragma once
// A person who browses and deletes at random through the main window, and another program
// that changes copies meanwhile (session_test.cpp plays it): every step, then the checks
// that the trees, the disk and the recycle bin agree.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <functional>

#include "results/Deletion.h"
#include "session_scene.h"
#include "ui/SpinButton.h"

namespace parelix::session {

class RandomSession : public session::SessionBase {
public:
    RandomSession(std::uint64_t seed, const test::PrivateTrash& trash) : SessionBase(seed, trash) {}

    void play(int steps) {
        startWindow();
        for (int step = 1; step <= steps && !::testing::Test::HasFailure(); ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            // Once most duplicates are gone, a fresh scene is searched.
            if (dbl().empty() || searchedFiles().size() < 80) {
                generate();
                startStep();
                search(false);
                checkAll();
                if (::testing::Test::HasFailure()) return;
            }
            const std::string what = playStep();
            if (std::getenv("PARELIX_SESSION_DEBUG")) std::fprintf(stderr, "step %d: %s\n", step, what.c_str());
            SCOPED_TRACE(what);
            checkAll();
            checkReferencesStayed();
        }
    }

private:
    // --- Steps -------------------------------------------------------------------------

    bool busyHands_ = false;

    // What the checks after a step compare with, as it starts.
    void startStep() {
        before_ = searchedFiles();
        allowed_.clear();
        external_.clear();
        wentBefore_.clear();
        duplicatesOnly_ = false;
        linkedBefore_ = linkedFiles();
    }

    std::string playStep() {
        startStep();
        noteReferenceFiles();
        const int roll = below(110);
        if (roll < 16) return stepSelect(true);
        if (roll < 28) return stepSelect(false);
        if (roll < 40) return stepSpin(chance(0.5));
        if (roll < 43) return stepExpandAll(chance(0.5));
        if (roll < 50) return stepDoubleClick();
        if (roll < 64) return stepTrash();
        if (roll < 72) return stepDrop();
        if (roll < 80) return stepFolderDuplicates();
        if (roll < 83) return stepFocusElsewhere();
        if (roll < 86) return stepSearchAgain();
        if (roll < 93) return stepTrashWhileTheCopyChanges();
        if (roll < 100) return stepWalkWithBusyHands();
        if (roll < 106) return stepTreeDuplicates();
        return stepMarkReference();
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
    void chooseAnswer(NodeId dirNode) { answer_ = chance(dirNode != kNoNode && w_->session().trees().isSearchRoot(dirNode) ? 0.2 : 0.75); }

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
        if (dirNode != kNoNode && holdsTrash(pathOf(dirNode))) return "the recycle bin's folder stays";
        chooseAnswer(dirNode);
        questions_.clear();
        const std::string path = dirNode != kNoNode ? pathOf(dirNode) : std::string();
        if (dirNode != kNoNode && inReference(dirNode)) return expectReferenceRefused(dirNode, [this] { w_->PoubelleClick(); });
        // Asked before the click: a file sent to the recycle bin takes its node with it.
        const bool onFile = dirNode != kNoNode && w_->session().trees().isFileNode(dirNode);
        const bool mouse = chance(0.5);
        const std::size_t nodes = dir().nodeCount();
        if (mouse) QTest::mouseClick(ui_.Poubelle, Qt::LeftButton);
        else w_->PoubelleClick();
        checkLinkedClicks(nodes);
        if (dirNode == kNoNode) {
            EXPECT_TRUE(questions_.empty());
            return "trash click on nothing";
        }
        // The question's first line names the file, its second the folder that holds it.
        const std::string folder = *DriveTable::current().toWindows(fs::path(path).parent_path().string());
        EXPECT_EQ(questions_.size(), 1u);
        if (!questions_.empty()) {
            EXPECT_EQ(questions_[0].substr(0, questions_[0].find(',')), "Voulez-vous vraiment envoyer «\u00A0" +
                      fs::path(path).filename().string() + "\u00A0» dans la Corbeille\u00A0?\nDans " + folder);
        }
        duplicatesOnly_ = onFile;
        if (answer_) allowed_.push_back(path);
        expectGone(path, answer_);
        return std::string("trash click") + (mouse ? "" : " (handler)") + ", " + (answer_ ? "yes" : "no") + ": " + path;
    }

    std::string stepDrop() {
        const NodeId node = dir().selected();
        if (node == kNoNode) return "drop of nothing";
        if (holdsTrash(pathOf(node))) return "the recycle bin's folder stays";
        const bool root = w_->session().trees().isSearchRoot(node);
        chooseAnswer(node);
        questions_.clear();
        const std::string path = pathOf(node);
        if (inReference(node)) return expectReferenceRefused(node, [this] { w_->PoubelleDragDrop(ui_.DirList); });
        duplicatesOnly_ = w_->session().trees().isFileNode(node);
        const std::size_t nodes = dir().nodeCount();
        w_->PoubelleDragDrop(ui_.DirList);
        checkLinkedClicks(nodes);
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
        bool references = false;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            const NodeId m = dir().link(*it);
            if (m == kNoNode || dir().childCount(*it) > 0) continue;
            if (inReference(*it)) {
                references = true;
                continue;
            }
            int& left = members[dbl().parent(m)];
            if (left < 2) continue;
            --left;
            expected.push_back(pathOf(*it));
        }
        questions_.clear();
        duplicatesOnly_ = true;
        const std::map<NodeId, bool> open = openFolders();
        const NodeId parent = dir().parent(s);
        const std::size_t nodes = dir().nodeCount();
        if (chance(0.5)) triggerMenu(QStringLiteral("Supprime les doubles de ce répertoire"));
        else w_->SupDblsDuRepClick();
        EXPECT_TRUE(questions_.empty());
        for (const std::string& p : expected) {
            allowed_.push_back(p);
            expectGone(p, true);
        }
        expectSettled(s, parent, open, nodes);
        checkLinkedClicks(nodes);
        if (expected.empty()) expectNothingBox(references, nullptr);
        return "duplicates of the folder of " + where + ": " + std::to_string(expected.size()) + " files";
    }

    // After a walk every folder is open or closed as before, and the selection stands on
    // the node acted on, or on its folder when it went (or on the closed folder hiding it).
    void expectSettled(NodeId acted, NodeId parent, const std::map<NodeId, bool>& open, std::size_t nodes) {
        SCOPED_TRACE(std::string("settled after ") + (busyHands_ ? "a busy walk" : "a walk"));
        expectFoldersAsLeft(open);
        NodeId expected = dir().isValid(acted) ? acted : parent;
        if (expected == kNoNode) return;
        if (dir().nodeCount() == nodes) {   // nothing went: nothing moved
            EXPECT_EQ(dir().selected(), acted);
            return;
        }
        for (NodeId a = dir().parent(expected); a != kNoNode; a = dir().parent(a))
            if (!dir().isExpanded(a)) expected = a;   // a closed folder hides it: that folder
        EXPECT_EQ(dir().selected(), expected);
    }

    // A trash click (or the Delete key) on a member of a group, and while the question
    // waits another program removes or changes the other copies, some or all: the file
    // goes only if a copy is still the same.
    std::string stepTrashWhileTheCopyChanges() {
        const NodeId member = randomNode(dbl());
        if (member == kNoNode || dbl().link(member) == kNoNode) return "no member to send away";
        if (inReference(dbl().link(member))) return "a reference member: the trash refuses it elsewhere";
        const std::string path = posixOf(dbl().text(member));
        std::vector<std::string> others;
        for (NodeId m : dbl().children(dbl().parent(member)))
            if (m != member) others.push_back(posixOf(dbl().text(m)));
        bool copyLeft = false;
        services_.onQuestion = [&](const std::string&) {
            for (const std::string& other : others) {
                const int what = below(3);   // keep, remove, change
                if (what == 0) copyLeft = true;
                else changeBehind(other, what == 1);
            }
            return services_.answer;
        };
        view(false)->setFocus();
        dbl().select(member);
        answer_ = true;
        questions_.clear();
        duplicatesOnly_ = true;
        allowed_.push_back(path);
        const bool key = chance(0.5);
        const std::size_t nodes = dir().nodeCount();
        if (key) QApplication::setActiveWindow(w_.get());   // keys reach the active window's focus
        if (key) QTest::keyClick(ui_.DblList, Qt::Key_Delete);
        else QTest::mouseClick(ui_.Poubelle, Qt::LeftButton);
        services_.onQuestion = nullptr;
        SCOPED_TRACE(key ? "by the Delete key" : "by a click");
        EXPECT_EQ(w_->focusWidget(), ui_.DblList);
        EXPECT_EQ(questions_.size(), 1u);
        expectGone(path, copyLeft);
        if (!copyLeft) {
            EXPECT_EQ(messages_.shown.size(), 1u);
            if (!messages_.shown.empty()) {
                EXPECT_EQ(messages_.shown[0].text, noOtherCopyRefusal(fs::path(path).filename().string()));
            }
            messages_.shown.clear();
        }
        checkLinkedClicks(nodes);
        search(false);   // the trees catch up with the disk
        return "trash click, the other copies changed meanwhile: " + path + (copyLeft ? " went" : " stayed");
    }

    // One thing a person (or another program) does while a walk goes on.
    void busyHand(const std::map<std::string, std::string>& linked) {
        switch (below(10)) {
        case 0: QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton); break;
        case 1: w_->BtnStopRtnClick(); break;
        case 2: w_->BtnChercheClick(); break;
        case 3: QTest::mouseClick(ui_.Poubelle, Qt::LeftButton); break;
        case 4: QTest::keyClick(ui_.DirList, Qt::Key_Delete); break;
        case 7: QTest::keyClick(ui_.DirList, chance(0.5) ? Qt::Key_Right : Qt::Key_Left); break;
        case 5: w_->SupDblsDuRepClick(); break;
        case 6: {   // a row in sight clicked, a folder opened or closed by a double click
            const NodeId node = randomNode(dir());
            bool shown = node != kNoNode;
            for (NodeId n = node; shown && dir().parent(n) != kNoNode; n = dir().parent(n))
                shown = dir().isExpanded(dir().parent(n));   // finding a hidden row would open it
            const std::optional<QPoint> row = shown ? test::rowPoint(ui_.DirList, node) : std::nullopt;
            if (row && chance(0.5)) QTest::mouseClick(ui_.DirList->viewport(), Qt::LeftButton, {}, *row);
            else if (row) doubleClickAt(true, *row);
            break;
        }
        default: {   // another program removes or changes a copy
            if (linked.empty()) break;
            auto it = linked.begin();
            std::advance(it, below(static_cast<int>(linked.size())));
            changeBehind(it->first, chance(0.5));
        }
        }
    }

    // "Supprime les doubles de ce répertoire", and while the walk goes on a person clicks
    // Stop, Cherche, the trash, presses Delete, asks for the walk again, and another program
    // changes copies. Nothing of it acts inside the walk; no last copy goes.
    std::string stepWalkWithBusyHands() {
        const NodeId s = dir().selected();
        if (s == kNoNode) return "busy walk of nothing";
        const NodeId folder = dir().childCount(s) > 0 ? s : dir().parent(s);
        for (NodeId n : folder == kNoNode ? dir().children(kNoNode) : dir().children(folder))
            if (w_->session().trees().isFileNode(n)) allowed_.push_back(pathOf(n));
        const int logBefore = ui_.Infos->count();
        const std::map<NodeId, bool> open = openFolders();
        const NodeId parent = dir().parent(s);
        const std::size_t nodes = dir().nodeCount();
        const std::map<std::string, std::string> linked = linkedBefore_;
        std::mt19937_64 handsRng(rng_());
        draw_ = &handsRng;
        int turns = 0;
        QTimer hands;
        QObject::connect(&hands, &QTimer::timeout, [&] {
            ++turns;
            busyHand(linked);
        });
        duplicatesOnly_ = true;
        questions_.clear();
        QApplication::setActiveWindow(w_.get());   // keys reach the active window's focus
        ui_.DirList->setFocus();
        hands.start(0);
        busyHands_ = true;
        w_->SupDblsDuRepClick();
        busyHands_ = false;
        hands.stop();
        draw_ = &rng_;
        EXPECT_TRUE(questions_.empty());
        EXPECT_TRUE(ui_._PanRes->isVisible()) << "Stop acted inside the walk";
        for (int i = logBefore; i < ui_.Infos->count(); ++i)
            EXPECT_TRUE(ui_.Infos->item(i)->text().startsWith(QStringLiteral("Effacement de "))) << ui_.Infos->item(i)->text().toStdString();
        expectSettled(s, parent, open, nodes);
        messages_.shown.clear();   // the walk's one box, for the files kept
        checkLinkedClicks(nodes);
        search(false);
        return "a walk with busy hands (" + std::to_string(turns) + " turns)";
    }

    // --- The tree walk and reference folders -------------------------------------------

    bool inReference(NodeId dirNode) { return w_->session().isReference(dirNode); }

    // Reference files as the step starts: none may leave the disk during it.
    Paths referenceFiles_;
    void noteReferenceFiles() {
        referenceFiles_.clear();
        for (NodeId n : preorder(dir()))
            if (w_->session().trees().isFileNode(n) && inReference(n)) referenceFiles_.insert(pathOf(n));
    }
    void checkReferencesStayed() {
        for (const std::string& path : referenceFiles_)
            if (!external_.count(path)) {
                EXPECT_TRUE(fs::exists(path)) << path << ": a reference file left the disk";
            }
    }

    // A trash click or a drop on a node of a reference folder: refused with its reason.
    std::string expectReferenceRefused(NodeId node, const std::function<void()>& act) {
        const std::string path = pathOf(node);
        const std::string shown = w_->session().trees().nodePath(node);
        const std::string name = shown.substr(shown.rfind('\\') + 1);
        act();
        EXPECT_TRUE(questions_.empty());
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(messages_.errors(), (std::vector<std::string>{referenceRefusal(name)}));
        messages_.shown.clear();
        return "refused in a reference folder: " + path;
    }

    // A tree walk that finds nothing to send away says so in one box, a reference folder's
    // own when it held the duplicates back; the folder walk says nothing (nothing: nullptr),
    // except for a reference folder. references: the walk met duplicates, all of them in a
    // reference folder.
    void expectNothingBox(bool references, const char* nothing) {
        if (!references && !nothing) {
            EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
            messages_.shown.clear();
            return;
        }
        ASSERT_EQ(messages_.shown.size(), 1u);
        if (references) EXPECT_EQ(messages_.shown[0].text, kReferenceWalk);
        else EXPECT_EQ(messages_.shown[0].text, nothing);
        messages_.shown.clear();
    }

    // "... et de ses sous-répertoires": the duplicates of the folder's whole subtree go,
    // backwards, each while its group keeps another member; a reference copy and an empty
    // file never go.
    // One question first, with the count and the size; Non sends nothing away.
    std::string stepTreeDuplicates() {
        const NodeId s = dir().selected();
        if (s == kNoNode) return "tree duplicates of nothing";
        const NodeId folder = dir().childCount(s) > 0 ? s : dir().parent(s);
        if (folder == kNoNode) return "tree duplicates of an empty search root";
        std::map<NodeId, int> members;
        for (NodeId g : dbl().children(kNoNode)) members[g] = dbl().childCount(g);
        std::vector<NodeId> below;   // the subtree in the trees' order, then backwards
        bool references = false;
        for (NodeId n : preorder(dir())) {
            bool inside = false;
            for (NodeId a = n; a != kNoNode && !inside; a = dir().parent(a)) inside = a == folder;
            if (!inside || dir().link(n) == kNoNode) continue;
            if (inReference(n)) references = true;
            else below.push_back(n);
        }
        std::vector<std::string> expected;
        std::uint64_t bytes = 0;
        bool emptyKept = false;
        for (auto it = below.rbegin(); it != below.rend(); ++it) {
            const NodeId m = dir().link(*it);
            if (before_.at(pathOf(*it)).empty()) {   // an empty file stays where it is
                emptyKept = true;
                continue;
            }
            int& left = members[dbl().parent(m)];
            if (left < 2) continue;
            --left;
            expected.push_back(pathOf(*it));
            bytes += before_.at(pathOf(*it)).size();
        }
        const bool yes = chance(0.75);
        answer_ = yes;
        questions_.clear();
        duplicatesOnly_ = true;
        const std::map<NodeId, bool> open = openFolders();
        const NodeId parent = dir().parent(s);
        const std::size_t nodes = dir().nodeCount();
        const std::string where = pathOf(s);
        if (chance(0.5)) triggerMenu(QStringLiteral("Supprime les doubles de ce répertoire et de ses sous-répertoires"));
        else w_->SupDblsDuRepEtSousRepClick();
        if (expected.empty()) {
            EXPECT_TRUE(questions_.empty());
            expectNothingBox(references, kNothingInTree);
            return "tree duplicates of " + where + ": nothing";
        }
        const std::string top = w_->session().trees().nodePath(folder);
        EXPECT_EQ(questions_, (std::vector<std::string>{treeWalkQuestion(expected.size(), bytes,
                                                                          top.substr(top.rfind('\\') + 1), emptyKept)}));
        for (const std::string& p : expected) {
            if (yes) allowed_.push_back(p);
            expectGone(p, yes);
        }
        expectSettled(s, parent, open, nodes);
        return "tree duplicates of " + where + ": " + std::to_string(expected.size()) + " files, " + (yes ? "yes" : "no");
    }

    // Back to the selection, a search path marked or unmarked as a reference by Ctrl+R or
    // from RepList's menu, and back to the results with Revoir: the marks apply at once.
    std::string stepMarkReference() {
        if (!ui_._PanSel->isVisible()) QTest::mouseClick(ui_.BtnStopRtn, Qt::LeftButton);
        if (!ui_._PanSel->isVisible() || ui_.RepList->count() == 0) return "no search path to mark";
        const int entry = below(ui_.RepList->count());
        ui_.RepList->setCurrentRow(entry);
        const std::string path = w_->session().pathSelection().entries()[static_cast<std::size_t>(entry)].text;
        const bool was = w_->session().isReferencePath(path);
        QApplication::setActiveWindow(w_.get());
        ui_.RepList->setFocus();
        QTest::keyClick(ui_.RepList, Qt::Key_R, Qt::ControlModifier);
        EXPECT_NE(w_->session().isReferencePath(path), was);
        EXPECT_EQ(ui_.RepList->item(entry)->text().endsWith(QStringLiteral(" (référence)")), !was);
        QTest::mouseClick(ui_.BtnRevoir, Qt::LeftButton);
        EXPECT_TRUE(ui_._PanRes->isVisible());
        return std::string(was ? "unmarked " : "marked ") + path + " as a reference";
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
};

}  // namespace parelix::session
