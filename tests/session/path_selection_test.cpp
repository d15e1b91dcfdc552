// The selection logic headless: a drive table whose drives D: and E: are scratch folders,
// a TreeStore for the drive tree, and the window's side recorded by the callbacks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "support/SelectionDrives.h"
#include "session/PathSelection.h"

using namespace parelix;
using namespace parelix::test;
namespace fs = std::filesystem;

namespace {

class PathSelectionTest : public ::testing::Test {
protected:
    MntDir base;
    std::string d, e;
    TreeStore tree;
    DriveTable drives = scratchDrives({});
    std::unique_ptr<PathSelection> sel;
    int cursorDepth = 0;
    int cursorOnCount = 0;
    std::vector<std::string> shown;   // the lists as the window would mirror them
    std::vector<std::string> shownExc;
    int shownSelected = -1;
    int shownExcSelected = -1;
    bool buttonsEnabled = false;   // BtnEnleve
    bool searchEnabled = false;    // BtnCherche

    void SetUp() override {
        d = base.mkdir("d");
        e = base.mkdir("e");
        for (const char* dir : {"DATA/PHOTOS/2020", "DATA/PHOTOS/2021", "DATA/DOCS", "DAT", ".cache/x", "alpha"})
            base.mkdir(std::string("d/") + dir);
        writeFile(d + "/readme.txt");
        writeFile(d + "/DATA/notes.txt");
        fs::create_directory_symlink(d + "/DATA", d + "/link-to-data");
        ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0644), 0);
        for (const char* dir : {"alpha", "mid", "zulu"}) base.mkdir(std::string("e/") + dir);
        install({d, e});
    }

    // The drives from here on; a selection made before sees them too.
    void install(const std::vector<std::string>& points) { drives = scratchDrives(points); }

    void start() {
        PathSelectionView view;
        view.waitCursor = [this](bool on) {
            cursorDepth += on ? 1 : -1;
            if (on) ++cursorOnCount;
        };
        view.entryInserted = [this](PathList l, int i, const std::string& t) {
            auto& list = l == PathList::Search ? shown : shownExc;
            list.insert(list.begin() + i, t);
        };
        view.entryRemoved = [this](PathList l, int i) {
            auto& list = l == PathList::Search ? shown : shownExc;
            list.erase(list.begin() + i);
        };
        view.entrySelected = [this](PathList l, int i) { (l == PathList::Search ? shownSelected : shownExcSelected) = i; };
        view.buttonsEnabled = [this](bool remove, bool search) {
            buttonsEnabled = remove;
            searchEnabled = search;
        };
        sel = std::make_unique<PathSelection>(tree, drives, std::move(view));
        tree.events.expanded = [this](NodeId n) { sel->nodeExpanded(n); };
        tree.events.change = [this](NodeId n) { sel->selectionChanged(n); };
        sel->fillDriveTree();
    }

    std::vector<std::string> childTexts(NodeId node) const {
        std::vector<std::string> out;
        for (NodeId c : tree.children(node)) out.push_back(tree.text(c));
        return out;
    }

    NodeId find(NodeId parent, const std::string& text) const {
        for (NodeId c : tree.children(parent))
            if (tree.text(c) == text) return c;
        return kNoNode;
    }

    // Follows "D:\", "DATA\", ... from the root.
    NodeId at(std::initializer_list<std::string> texts) const {
        NodeId n = sel->root();
        for (const auto& t : texts) {
            n = find(n, t);
            if (n == kNoNode) return kNoNode;
        }
        return n;
    }

    // Selects a node as the user would: its ancestors open on the way.
    void addNode(std::initializer_list<std::string> texts) {
        const NodeId n = at(texts);
        ASSERT_NE(n, kNoNode);
        tree.select(n);
        sel->add();
    }

    std::vector<std::string> entryTexts() const {
        std::vector<std::string> out;
        for (const auto& en : sel->entries()) out.push_back(en.text);
        return out;
    }

    bool childrenSorted(NodeId node) const {
        const auto texts = childTexts(node);
        for (std::size_t i = 1; i < texts.size(); ++i)
            if (lstrcmpA(texts[i - 1], texts[i]) > 0) return false;
        return true;
    }
};

TEST_F(PathSelectionTest, FillingListsEveryDriveOneLevelAhead) {
    // The recycle bin's folder at the drive's top is listed like any other (the walk never
    // enters it).
    const std::string trash = ".Trash-" + std::to_string(getuid());
    base.mkdir("d/" + trash + "/files");
    start();
    ASSERT_EQ(tree.childCount(kNoNode), 1);
    EXPECT_EQ(tree.text(sel->root()), "Poste");
    EXPECT_TRUE(tree.isExpanded(sel->root()));
    EXPECT_EQ(childTexts(sel->root()), (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
    EXPECT_EQ(tree.selected(), at({"C:\\"}));
    // Only the top level of each drive was listed, once, under the wait cursor.
    EXPECT_EQ(sel->listingCount(), 3u);
    EXPECT_EQ(cursorDepth, 0);
    EXPECT_EQ(cursorOnCount, 1);
    for (NodeId drive : tree.children(sel->root())) {
        EXPECT_TRUE(tree.populated(drive));
        for (NodeId c : tree.children(drive)) EXPECT_FALSE(tree.populated(c));
    }

    // Directories only, hidden ones and the recycle bin's included; files, links, FIFOs, "."
    // and ".." never.
    const NodeId dDrive = at({"D:\\"});
    auto texts = childTexts(dDrive);
    std::sort(texts.begin(), texts.end());
    std::vector<std::string> expected{".cache\\", trash + "\\", "DAT\\", "DATA\\", "alpha\\"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(childrenSorted(dDrive));
    EXPECT_TRUE(buttonsEnabled == false && sel->entries().empty());
}

TEST_F(PathSelectionTest, ExpandingListsEachChildOnceAndNeverAgain) {
    start();
    const NodeId data = at({"D:\\", "DATA\\"});
    const auto before = sel->listingCount();
    tree.expand(at({"D:\\"}));
    // D:\ has four subdirectories: four listings, and DATA\ now shows its own.
    EXPECT_EQ(sel->listingCount(), before + 4);
    EXPECT_EQ(childTexts(data), (std::vector<std::string>{"DOCS\\", "PHOTOS\\"}));
    EXPECT_FALSE(tree.populated(at({"D:\\", "DATA\\", "PHOTOS\\"})));

    // A folder created after its parent was listed does not show; nothing is listed again.
    base.mkdir("d/DATA/NEW");
    tree.collapse(at({"D:\\"}));
    tree.expand(at({"D:\\"}));
    EXPECT_EQ(sel->listingCount(), before + 4);
    EXPECT_EQ(find(data, "NEW\\"), kNoNode);
    EXPECT_EQ(cursorDepth, 0);
}

TEST_F(PathSelectionTest, NodePathsAndTheLengthCut) {
    start();
    EXPECT_EQ(sel->nodePath(at({"D:\\"})), "D:");
    tree.expand(at({"D:\\"}));
    tree.expand(at({"D:\\", "DATA\\"}));
    EXPECT_EQ(sel->nodePath(at({"D:\\", "DATA\\", "PHOTOS\\"})), "D:\\DATA\\PHOTOS");

    // Texts are joined as given, so a tree built by hand shows the cut exactly.
    TreeStore t;
    PathSelection p(t, drives);
    const NodeId root = t.addChild(kNoNode, "Poste");
    const NodeId drive = t.addChild(root, "D:\\");
    const std::string a(200, 'a');
    const NodeId dirA = t.addChild(drive, a + "\\");                      // 204 with its backslash
    const NodeId fits = t.addChild(dirA, std::string(50, 'b') + "\\");   // exactly 255
    const NodeId over = t.addChild(dirA, std::string(51, 'c') + "\\");   // 256
    const NodeId deep = t.addChild(over, "x\\");                         // 258

    EXPECT_EQ(p.nodePath(fits), "D:\\" + a + "\\" + std::string(50, 'b'));
    EXPECT_TRUE(p.pathFits(fits));
    const std::string cut = "D:\\" + a + "\\" + std::string(50, 'c');
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(p.nodePath(over), cut);
    EXPECT_EQ(p.nodePath(deep), cut);
    EXPECT_FALSE(p.pathFits(over));
    EXPECT_FALSE(p.pathFits(deep));
}

TEST_F(PathSelectionTest, TooLongPathsAreNeitherListedNorAdded) {
    // 220 + 40 characters below D:\ : the inner folder's path does not fit in 255, and cut
    // to 254 characters it would name its sibling of 30 "i" instead.
    const std::string outer(220, 'o');
    const std::string inner(40, 'i');
    base.mkdir("d/" + outer + "/" + inner + "/below");
    base.mkdir("d/" + outer + "/" + std::string(30, 'i'));
    start();
    tree.expand(at({"D:\\"}));
    tree.expand(at({"D:\\", outer + "\\"}));
    const NodeId longNode = at({"D:\\", outer + "\\", inner + "\\"});
    ASSERT_NE(longNode, kNoNode);
    EXPECT_FALSE(sel->pathFits(longNode));
    EXPECT_TRUE(tree.populated(longNode));
    EXPECT_EQ(tree.childCount(longNode), 0);

    tree.select(longNode);
    sel->add();
    EXPECT_TRUE(sel->entries().empty());
    EXPECT_EQ(tree.selected(), longNode);
    EXPECT_FALSE(buttonsEnabled);

    // Its shorter sibling still goes in.
    addNode({"D:\\", outer + "\\", std::string(30, 'i') + "\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\" + outer + "\\" + std::string(30, 'i')}));
}

TEST_F(PathSelectionTest, AddingMovesTheNodeIntoTheSortedList) {
    start();
    addNode({"E:\\", "zulu\\"});
    addNode({"E:\\", "alpha\\"});
    addNode({"D:\\", "DATA\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DATA", "E:\\alpha", "E:\\zulu"}));
    EXPECT_EQ(shown, entryTexts());
    EXPECT_EQ(sel->selectedEntry(), 0);
    EXPECT_EQ(shownSelected, 0);
    EXPECT_TRUE(buttonsEnabled);
    EXPECT_EQ(sel->entries()[0].home, at({"D:\\"}));
    EXPECT_EQ(at({"D:\\", "DATA\\"}), kNoNode);
    EXPECT_EQ(childTexts(at({"E:\\"})), (std::vector<std::string>{"mid\\"}));
    // The tree chose a neighbour of the removed node.
    EXPECT_EQ(tree.parent(tree.selected()), at({"D:\\"}));
}

TEST_F(PathSelectionTest, PrefixRuleReturnsEntriesInsideAndBesideTheNewPath) {
    start();
    tree.expand(at({"D:\\"}));
    tree.expand(at({"D:\\", "DATA\\"}));
    addNode({"D:\\", "DATA\\", "PHOTOS\\", "2020\\"});
    addNode({"E:\\", "mid\\"});
    EXPECT_EQ(sel->entries()[0].home, at({"D:\\", "DATA\\", "PHOTOS\\"}));

    // D:\DATA takes D:\DATA\PHOTOS\2020 back first: it returns under PHOTOS\ before that
    // goes with DATA\.
    addNode({"D:\\", "DATA\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DATA", "E:\\mid"}));

    // D:\DAT is a plain text prefix of D:\DATA: that entry comes back to the tree too.
    addNode({"D:\\", "DAT\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DAT", "E:\\mid"}));
    const NodeId data = at({"D:\\", "DATA\\"});
    ASSERT_NE(data, kNoNode);
    EXPECT_TRUE(tree.populated(data));
    EXPECT_TRUE(childrenSorted(at({"D:\\"})));

    // A drive takes back every entry of that drive, and leaves the other drives' alone.
    addNode({"D:\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:", "E:\\mid"}));
    EXPECT_EQ(sel->entries()[0].home, sel->root());
    EXPECT_EQ(childTexts(sel->root()), (std::vector<std::string>{"C:\\", "E:\\"}));
    EXPECT_EQ(sel->selectedEntry(), 0);
}

TEST_F(PathSelectionTest, ReturnsLandInSortedPlaceAndAreListedAfresh) {
    start();
    addNode({"E:\\", "mid\\"});
    addNode({"D:\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:", "E:\\mid"}));

    // Changes made on disk meanwhile show once the drive comes back.
    base.mkdir("d/FRESH");
    fs::remove_all(d + "/alpha");
    sel->selectEntry(0);
    sel->remove();
    EXPECT_EQ(childTexts(sel->root()), (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
    const NodeId drive = at({"D:\\"});
    EXPECT_TRUE(tree.populated(drive));
    EXPECT_NE(find(drive, "FRESH\\"), kNoNode);
    EXPECT_EQ(find(drive, "alpha\\"), kNoNode);
    EXPECT_EQ(tree.selected(), drive);

    sel->selectEntry(0);
    sel->remove();
    EXPECT_EQ(childTexts(at({"E:\\"})), (std::vector<std::string>{"alpha\\", "mid\\", "zulu\\"}));
    EXPECT_TRUE(sel->entries().empty());
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(buttonsEnabled);
    EXPECT_EQ(sel->selectedEntry(), -1);
}

TEST_F(PathSelectionTest, SelectionAfterRemovingAnEntry) {
    start();
    addNode({"E:\\", "alpha\\"});
    addNode({"E:\\", "mid\\"});
    addNode({"E:\\", "zulu\\"});
    addNode({"D:\\", "DAT\\"});
    ASSERT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DAT", "E:\\alpha", "E:\\mid", "E:\\zulu"}));

    // A middle entry: the one that moves into its index is selected.
    sel->selectEntry(1);
    sel->remove();
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DAT", "E:\\mid", "E:\\zulu"}));
    EXPECT_EQ(sel->selectedEntry(), 1);
    EXPECT_EQ(shownSelected, 1);
    EXPECT_EQ(shown, entryTexts());

    // The last entry: the new last one is selected.
    sel->selectEntry(2);
    sel->remove();
    EXPECT_EQ(sel->selectedEntry(), 1);
    EXPECT_EQ(shownSelected, 1);
    EXPECT_TRUE(buttonsEnabled);

    // Nothing selected: nothing happens.
    sel->selectEntry(-1);
    sel->remove();
    EXPECT_EQ(sel->entries().size(), 2u);

    // An entry put in by its text, with no node behind it, leaves the list and nothing else.
    const NodeId treeSelection = tree.selected();
    sel->selectEntry(sel->insertEntry("F:\\named", kNoNode));
    sel->remove();
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DAT", "E:\\mid"}));
    EXPECT_EQ(tree.childCount(kNoNode), 1);
    EXPECT_EQ(tree.selected(), treeSelection);
}

TEST_F(PathSelectionTest, OnlyTheRemoveButtonMovesTheTreeSelection) {
    start();
    tree.expand(at({"D:\\"}));
    tree.expand(at({"D:\\", "DATA\\"}));
    addNode({"D:\\", "DATA\\", "PHOTOS\\"});
    addNode({"E:\\", "zulu\\"});
    tree.collapse(at({"D:\\", "DATA\\"}));
    tree.collapse(at({"D:\\"}));

    // The remove button selects the returned node and opens its collapsed ancestors.
    sel->selectEntry(0);
    sel->remove();
    const NodeId photos = at({"D:\\", "DATA\\", "PHOTOS\\"});
    ASSERT_NE(photos, kNoNode);
    EXPECT_EQ(tree.selected(), photos);
    EXPECT_TRUE(tree.isExpanded(at({"D:\\"})));
    EXPECT_TRUE(tree.isExpanded(at({"D:\\", "DATA\\"})));
    EXPECT_EQ(childTexts(photos), (std::vector<std::string>{"2020\\", "2021\\"}));
    EXPECT_EQ(cursorDepth, 0);

    // The returns an add makes leave the selection to the tree: D:\DAT takes back
    // D:\DATA\PHOTOS (a plain prefix), which lands under the folded DATA\ and opens nothing.
    addNode({"D:\\", "DATA\\", "PHOTOS\\"});
    tree.collapse(at({"D:\\", "DATA\\"}));
    addNode({"D:\\", "DAT\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DAT", "E:\\zulu"}));
    const NodeId back = at({"D:\\", "DATA\\", "PHOTOS\\"});
    ASSERT_NE(back, kNoNode);
    EXPECT_NE(tree.selected(), back);
    EXPECT_FALSE(tree.isExpanded(at({"D:\\", "DATA\\"})));
}

// The exclusion list: sorted as the search list is, each path once, the tree left as it
// was; it has its own removal, and the remove and search buttons follow the search list alone.
TEST_F(PathSelectionTest, ExclusionsKeepTheTreeAndTheButtonsFollowTheSearchListAlone) {
    start();
    const auto exclude = [this](std::initializer_list<std::string> texts) {
        const NodeId n = at(texts);
        ASSERT_NE(n, kNoNode);
        tree.select(n);
        sel->exclude();
    };
    tree.expand(at({"D:\\"}));
    exclude({"E:\\"});
    exclude({"D:\\", "DATA\\", "PHOTOS\\"});
    exclude({"D:\\", "alpha\\"});
    exclude({"D:\\", "DAT\\"});
    exclude({"D:\\", ".cache\\"});
    // The collation of lstrcmpA, not the bytes' order (which puts "DAT" before "alpha").
    const std::vector<std::string> excluded{"D:\\.cache", "D:\\alpha", "D:\\DAT", "D:\\DATA\\PHOTOS", "E:"};
    EXPECT_EQ(sel->exclusions(), excluded);
    EXPECT_EQ(shownExc, excluded);
    EXPECT_EQ(sel->selectedExclusion(), 0);
    EXPECT_EQ(shownExcSelected, 0);
    // Nothing left the tree, nothing went into the search list; both buttons stay off.
    EXPECT_NE(at({"D:\\", "DATA\\", "PHOTOS\\"}), kNoNode);
    EXPECT_NE(at({"E:\\"}), kNoNode);
    EXPECT_EQ(tree.selected(), at({"D:\\", ".cache\\"}));
    EXPECT_TRUE(sel->entries().empty());
    EXPECT_FALSE(buttonsEnabled);
    EXPECT_FALSE(searchEnabled);
    // With the search list empty, BtnEnleve takes nothing from the exclusion list.
    sel->remove();
    EXPECT_EQ(sel->exclusions(), excluded);

    // A path already excluded is not listed twice: it becomes the selected exclusion.
    exclude({"E:\\"});
    EXPECT_EQ(sel->exclusions().size(), excluded.size());
    EXPECT_EQ(sel->selectedExclusion(), 4);

    // A search path may hold exclusions, or lie inside one.
    addNode({"D:\\", "DATA\\"});
    addNode({"E:\\", "mid\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DATA", "E:\\mid"}));
    EXPECT_EQ(sel->exclusions(), excluded);
    EXPECT_TRUE(buttonsEnabled);
    EXPECT_TRUE(searchEnabled);

    // A file, or a path given whole (a drop, the file dialog), goes in its sorted place.
    sel->excludePath("D:\\DATA\\notes.txt");
    EXPECT_EQ(sel->exclusions()[3], "D:\\DATA\\notes.txt");
    EXPECT_EQ(sel->selectedExclusion(), 3);
    sel->excludePath(std::string(255, 'x'));   // would be cut: another path than the one given
    EXPECT_EQ(sel->exclusions().size(), excluded.size() + 1);
    sel->removeExclusion();
    EXPECT_EQ(sel->exclusions(), excluded);

    // From the exclusion list: the selected exclusion goes, the next one takes its place,
    // and neither the search list nor the tree moves.
    sel->selectEntry(0);
    const NodeId treeSelection = tree.selected();
    const auto rootChildren = childTexts(sel->root());
    sel->selectExclusion(2);
    sel->removeExclusion();
    EXPECT_EQ(sel->exclusions(), (std::vector<std::string>{"D:\\.cache", "D:\\alpha", "D:\\DATA\\PHOTOS", "E:"}));
    EXPECT_EQ(shownExc, sel->exclusions());
    EXPECT_EQ(sel->selectedExclusion(), 2);
    EXPECT_EQ(shownExcSelected, 2);
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\DATA", "E:\\mid"}));
    EXPECT_EQ(tree.selected(), treeSelection);
    EXPECT_EQ(childTexts(sel->root()), rootChildren);

    // From the search list: the entry goes back to the tree, the exclusions stay.
    sel->remove();
    EXPECT_EQ(entryTexts(), std::vector<std::string>{"E:\\mid"});
    EXPECT_EQ(tree.selected(), at({"D:\\", "DATA\\"}));
    EXPECT_EQ(sel->exclusions().size(), 4u);

    // Nothing selected in the exclusion list: nothing goes.
    sel->selectExclusion(-1);
    sel->removeExclusion();
    EXPECT_EQ(sel->exclusions().size(), 4u);

    // The last exclusion selects the new last one; the search list emptied, both buttons go
    // off though exclusions are left.
    sel->remove();
    EXPECT_FALSE(buttonsEnabled);
    EXPECT_FALSE(searchEnabled);
    for (int left = 4; left > 0; --left) {
        sel->selectExclusion(left - 1);
        sel->removeExclusion();
        EXPECT_EQ(sel->selectedExclusion(), left - 2);
        EXPECT_FALSE(buttonsEnabled);
    }
    EXPECT_TRUE(shownExc.empty());
    EXPECT_EQ(shownExcSelected, -1);
}

TEST_F(PathSelectionTest, RootStaysSelectedOnlyWhenEveryDriveIsListed) {
    start();
    tree.select(sel->root());
    EXPECT_EQ(tree.selected(), at({"C:\\"}));

    addNode({"C:\\"});
    addNode({"D:\\"});
    addNode({"E:\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"C:", "D:", "E:"}));
    EXPECT_EQ(tree.selected(), sel->root());
    sel->add();   // the root is never added
    EXPECT_EQ(sel->entries().size(), 3u);

    // A drive back in the tree: the root hands the selection on again.
    sel->selectEntry(1);
    sel->remove();
    tree.select(sel->root());
    EXPECT_EQ(tree.selected(), at({"D:\\"}));
}

TEST_F(PathSelectionTest, UnlistableFoldersShowNoChildrenUntilReturned) {
    // F: has no medium: its mount point does not exist.
    const std::string f = base.path() + "/f";
    install({d, e, f});
    start();
    const NodeId drive = at({"F:\\"});
    ASSERT_NE(drive, kNoNode);
    EXPECT_TRUE(tree.populated(drive));
    EXPECT_EQ(tree.childCount(drive), 0);

    // The medium arrives: still nothing until the drive goes to the list and comes back.
    base.mkdir("f/MEDIA");
    tree.collapse(sel->root());
    tree.expand(sel->root());
    EXPECT_EQ(tree.childCount(at({"F:\\"})), 0);
    addNode({"F:\\"});
    sel->remove();
    EXPECT_EQ(childTexts(at({"F:\\"})), (std::vector<std::string>{"MEDIA\\"}));

    // A folder removed after its parent was listed opens empty, without complaint.
    fs::remove_all(d + "/DATA");
    tree.expand(at({"D:\\"}));
    EXPECT_EQ(tree.childCount(at({"D:\\", "DATA\\"})), 0);
}

TEST_F(PathSelectionTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const std::string name = "caf\xe9-\xff";
    base.mkdir("d/" + name);
    start();
    const NodeId node = at({"D:\\", name + "\\"});
    ASSERT_NE(node, kNoNode);
    addNode({"D:\\", name + "\\"});
    EXPECT_EQ(entryTexts(), (std::vector<std::string>{"D:\\" + name}));
    EXPECT_EQ(shown.front(), "D:\\" + name);
    sel->remove();
    EXPECT_NE(at({"D:\\", name + "\\"}), kNoNode);
}

// A listener that fails while nodes are being added stands for any failure inside a listing.
struct FailingListener : TreeListener {
    bool armed = false;
    void nodesInserted(NodeId, int, int) override {
        if (armed) throw std::runtime_error("listing failed");
    }
};

TEST_F(PathSelectionTest, WaitCursorIsRestoredWhenExpansionFails) {
    start();
    FailingListener failing;
    tree.addListener(&failing);
    failing.armed = true;
    EXPECT_THROW(tree.expand(at({"D:\\"})), std::runtime_error);
    EXPECT_EQ(cursorDepth, 0);
    tree.removeListener(&failing);
}

}  // namespace
