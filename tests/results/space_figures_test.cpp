// The sizes people read, the rows' hints and the space figures built on them, and the extra
// copies counted against a count made from DirList's side through removals.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "results/RowHints.h"
#include "results/SpaceFigures.h"
#include "support/FakeResultsWindow.h"

using namespace parelix;

namespace {

const std::string sep = " ";

// Each line a boundary: below it, at it, and where rounding and truncating part.
TEST(SpaceFigures, SizesInFrenchUnitsRoundedToOneDecimalBelowTen) {
    const std::pair<std::uint64_t, const char*> table[] = {
        {0, "0 octet"},
        {1, "1 octet"},
        {2, "2 octets"},
        {1023, "1023 octets"},
        {1024, "1 Ko"},
        {1075, "1 Ko"},          // 1,0498…
        {1076, "1,1 Ko"},        // 1,0508…
        {1535, "1,5 Ko"},        // 1,499…: truncated it would read 1,4
        {1536, "1,5 Ko"},
        {10188, "9,9 Ko"},       // 9,949…
        {10189, "10 Ko"},        // 9,950…: ten and more have no decimal
        {10239, "10 Ko"},        // 9,999…
        {300000, "293 Ko"},      // 292,97…
        {1048575, "1 Mo"},       // 1023,999 Ko is a mebibyte, not "1024 Ko"
        {1048576, "1 Mo"},
        {5637144576ull, "5,3 Go"},                    // 5,25
        {3221225472ull * 1024, "3 To"},
    };
    for (const auto& [bytes, text] : table) EXPECT_EQ(readableSize(bytes), text) << bytes;

    EXPECT_EQ(groupedCount(0), "0");
    EXPECT_EQ(groupedCount(999), "999");
    EXPECT_EQ(groupedCount(2994), "2" + sep + "994");
    EXPECT_EQ(groupedCount(1234567), "1" + sep + "234" + sep + "567");
}

// A group's hint counts what deleting all copies but one frees, in the same units.
TEST(SpaceFigures, RowHintsAndFiguresTellTheSameUnits) {
    ResultTrees trees;
    test::TreeBuilder b(trees);
    const NodeId root = b.root("C:\\Données");
    const NodeId a = b.file(root, "a.bin");
    const NodeId c = b.file(root, "c.bin");
    const NodeId d = b.file(root, "d.bin");
    const NodeId three = b.group("300000", {a, c, d});
    const NodeId e = b.file(root, "e.bin");
    const NodeId f = b.file(root, "f.bin");
    const NodeId two = b.group("1536", {e, f});

    EXPECT_EQ(dblListHint(trees, three), "3 × 293 Ko, 586 Ko à libérer");
    EXPECT_EQ(dblListHint(trees, two), "2 × 1,5 Ko, 1,5 Ko à libérer");
    EXPECT_EQ(dblListHint(trees, trees.dblList.firstChild(three)), "C:\\Données\\a.bin\n293 Ko");
    EXPECT_EQ(dirListHint(trees, DriveTable::current(), c), "C:\\Données\\c.bin\n293 Ko");

    const ExtraCopies extra = extraCopies(trees.dblList);
    EXPECT_EQ(extra, (ExtraCopies{3, 2 * 300000 + 1536}));
    EXPECT_EQ(spaceFiguresText(extra, {}), "Copies en trop : 3 (587 Ko)");
    EXPECT_EQ(spaceFiguresText({2994, 3113851290ull}, {}), "Copies en trop : 2" + sep + "994 (2,9 Go)");
    // Once something went, even an empty file, what it freed shows too.
    EXPECT_EQ(spaceFiguresText({0, 0}, {1, 0}), "Copies en trop : 0 (0 octet) — Libéré : 0 octet");
    EXPECT_EQ(spaceFiguresText(extra, {3, 1536}), "Copies en trop : 3 (587 Ko) — Libéré : 1,5 Ko");
}

// Random groups of random sizes in a random folder tree, then random removals of files and
// folders: the figures always equal a count made from the other side, each linked file of
// DirList counted in its group.
TEST(SpaceFigures, ExtraCopiesFollowEveryRemoval) {
    std::mt19937 rng(26);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int round = 0; round < 20; ++round) {
        ResultTrees trees;
        test::TreeBuilder b(trees);
        std::vector<NodeId> folders = {b.root("D:")};
        for (int i = 0; i < 12; ++i) folders.push_back(b.folder(folders[static_cast<std::size_t>(below(static_cast<int>(folders.size())))], "d" + std::to_string(i)));
        auto inSomeFolder = [&](int i) { return b.file(folders[static_cast<std::size_t>(below(static_cast<int>(folders.size())))], "f" + std::to_string(i)); };
        int serial = 0;
        for (int g = 0; g < 15; ++g) {
            std::vector<NodeId> files;
            for (int m = 2 + below(4); m > 0; --m) files.push_back(inSomeFolder(serial++));
            b.group(std::to_string(std::uint64_t(below(5)) << (10 * below(4))), files);
        }
        for (int i = 0; i < 10; ++i) inSomeFolder(serial++);

        auto fromDirList = [&] {
            std::map<NodeId, std::uint64_t> members;
            for (NodeId n : test::preorder(trees.dirList))
                if (trees.dirList.link(n) != kNoNode) ++members[trees.dblList.parent(trees.dirList.link(n))];
            ExtraCopies extra;
            for (const auto& [group, count] : members) {
                const std::string& text = trees.dblList.text(group);
                extra.files += count - 1;
                extra.bytes += (count - 1) * std::stoull(text.substr(1, text.size() - 2));
            }
            return extra;
        };
        while (!trees.dirList.empty()) {
            ASSERT_EQ(extraCopies(trees.dblList), fromDirList()) << "round " << round;
            const std::vector<NodeId> all = test::preorder(trees.dirList);
            trees.removeNode(all[static_cast<std::size_t>(below(static_cast<int>(all.size())))]);
        }
        EXPECT_EQ(extraCopies(trees.dblList), ExtraCopies{});
    }
}

}  // namespace
