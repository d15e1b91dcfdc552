// The sizes people read, the rows' hints and the space figures built on them, and the extra
// copies counted against a count made from DirList's side through removals.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "results/DuplicateList.h"
#include "results/Messages.h"
#include "results/RowHints.h"
#include "results/SpaceFigures.h"
#include "support/FakeResultsSession.h"

using namespace parelix;

namespace {

const std::string nb = "\u00A0";     // before : ; ? ! and a unit, inside « »
const std::string sep = "\u202F";    // between thousands

// The first place where a text breaks French typography: a plain or missing space before
// : ; ? ! or a unit, beside « or », or between thousands; empty when there is none.
std::string typographyFault(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool nbBefore = i >= 2 && text.compare(i - 2, 2, nb) == 0;
        if ((c == ':' || c == ';' || c == '?' || c == '!') && !nbBefore) return text.substr(0, i + 1);
        if (c == ' ' && i > 0 && (text[i - 1] >= '0' && text[i - 1] <= '9') && i + 1 < text.size() &&
            ((text[i + 1] >= '0' && text[i + 1] <= '9') || text.compare(i + 1, 2, "Ko") == 0 ||
             text.compare(i + 1, 2, "Mo") == 0 || text.compare(i + 1, 2, "Go") == 0 ||
             text.compare(i + 1, 5, "octet") == 0))
            return text.substr(0, i + 1);
        if (text.compare(i, 2, "«") == 0 && text.compare(i + 2, 2, nb) != 0) return text.substr(0, i + 2);
        if (text.compare(i, 2, "»") == 0 && !nbBefore) return text.substr(0, i + 2);
    }
    return {};
}

// Every text the program added, and those it builds, keeps French spacing.
TEST(SpaceFigures, AddedTextsKeepFrenchSpacing) {
    std::vector<std::string> texts = {
        kExtraCopies, kFreed, kGroupTimes, kReferenceRowHint, kSaveListCaption, kListSavedLog,
        kDialogLookIn, kDialogFileName, kDialogFileType, kReplaceQuestion, kDskMenuName, kExclureItem,
        kExclureHint, kHomeFolderItem, kReferenceItem, kReferenceEntryHint, kRemoveExclusionItem,
        kAddExcludedFileItem, kDropNotLocal, std::string(kDropNotFolderHead) + "x" + kDropNotFolderTail,
        std::string(kDropNotFolderHead) + "x" + kDropUnreachableTail, kTreeWalkItem, kTrashHint, kNoDisplay,
        saveListFailure("doubles.csv", "Disque plein"), spaceFiguresText({1234567, 1048064}, {1, 2048}),
        readableSize(5637144576ull), groupedCount(1234567)};
    for (const char* line : kNotice) texts.emplace_back(line);
    for (const std::string& text : texts) EXPECT_EQ(typographyFault(text), "") << text;
    // The checker itself catches each fault.
    for (const char* bad : {"a : b", "a: b", "« a »", "1 234", "3 Ko", "Oui ?"})
        EXPECT_NE(typographyFault(bad), "") << bad;
}

// Each line a boundary: below it, at it, and where rounding and truncating part; every unit's
// upper edge, where a rounded "1024" would show.
TEST(SpaceFigures, SizesInFrenchUnitsRoundedToOneDecimalBelowTen) {
    const std::uint64_t K = 1024, M = K * K, G = M * K, T = G * K;
    const std::pair<std::uint64_t, std::string> table[] = {
        {0, "0" + nb + "octet"},
        {1, "1" + nb + "octet"},
        {2, "2" + nb + "octets"},
        {1023, "1023" + nb + "octets"},
        {1024, "1" + nb + "Ko"},
        {1075, "1" + nb + "Ko"},          // 1,0498…
        {1076, "1,1" + nb + "Ko"},        // 1,0508…
        {1535, "1,5" + nb + "Ko"},        // 1,499…: truncated it would read 1,4
        {1536, "1,5" + nb + "Ko"},
        {10188, "9,9" + nb + "Ko"},       // 9,949…
        {10189, "10" + nb + "Ko"},        // 9,950…: ten and more have no decimal
        {10239, "10" + nb + "Ko"},        // 9,999…
        {300000, "293" + nb + "Ko"},      // 292,97…
        {1023 * K + K / 2 - 1, "1023" + nb + "Ko"},   // 1023,499 Ko
        {1023 * K + K / 2, "1" + nb + "Mo"},          // 1023,5 Ko would round to "1024 Ko"
        {1023 * K + 1000, "1" + nb + "Mo"},           // 1023,9 Ko
        {M - 1, "1" + nb + "Mo"},
        {M, "1" + nb + "Mo"},
        {1023 * M + M / 2 - 1, "1023" + nb + "Mo"},
        {1023 * M + M / 2, "1" + nb + "Go"},
        {1023 * M + 972 * K, "1" + nb + "Go"},        // 1023,95 Mo
        {5637144576ull, "5,3" + nb + "Go"},            // 5,25
        {1023 * G + G / 2 - 1, "1023" + nb + "Go"},
        {1023 * G + G / 2, "1" + nb + "To"},
        {3 * T, "3" + nb + "To"},
        {1023 * T + T / 2 - 1, "1023" + nb + "To"},
        {1023 * T + T / 2, "1" + nb + "Po"},
        {~std::uint64_t{0}, "16384" + nb + "Po"},      // the last unit has no next one
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

    EXPECT_EQ(dblListHint(trees, three), "3" + nb + "×" + nb + "293" + nb + "Ko, 586" + nb + "Ko à libérer");
    EXPECT_EQ(dblListHint(trees, two), "2" + nb + "×" + nb + "1,5" + nb + "Ko, 1,5" + nb + "Ko à libérer");
    EXPECT_EQ(dblListHint(trees, trees.dblList.firstChild(three)), "C:\\Données\\a.bin\n293" + nb + "Ko");
    EXPECT_EQ(dirListHint(trees, DriveTable::current(), c), "C:\\Données\\c.bin\n293" + nb + "Ko");

    const ExtraCopies extra = extraCopies(trees.dblList);
    EXPECT_EQ(extra, (ExtraCopies{3, 2 * 300000 + 1536}));
    EXPECT_EQ(spaceFiguresText(extra, {}), "Copies en trop" + nb + ": 3 (587" + nb + "Ko)");
    EXPECT_EQ(spaceFiguresText({2994, 3113851290ull}, {}), "Copies en trop" + nb + ": 2" + sep + "994 (2,9" + nb + "Go)");
    // Once something went, even an empty file, what it freed shows too.
    EXPECT_EQ(spaceFiguresText({0, 0}, {1, 0}), "Copies en trop" + nb + ": 0 (0" + nb + "octet) — Libéré" + nb + ": 0" + nb + "octet");
    EXPECT_EQ(spaceFiguresText(extra, {3, 1536}), "Copies en trop" + nb + ": 3 (587" + nb + "Ko) — Libéré" + nb + ": 1,5" + nb + "Ko");
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
                extra.files += count - 1;
                extra.bytes += (count - 1) * trees.dblList.bytes(group).value();
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
