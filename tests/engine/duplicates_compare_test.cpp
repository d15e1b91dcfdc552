// Duplicate detection on chosen sequences: grouping, exchanges, unreadable files, chunk
// boundaries, file identity, stop, and what the window shows.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/engine/duplicates_scene.h"

namespace parelix::test {
namespace {

std::string bytes(std::size_t n, char fill) { return std::string(n, fill); }

std::string inaccessible(const DuplicateScene& s, const std::string& rel) {
    return s.win(rel) + " inaccessible";
}

long countOf(const std::vector<std::string>& v, const std::string& line) {
    return std::count(v.begin(), v.end(), line);
}

TEST(DuplicatesGrouping, TwoEqualFilesMakeOneLinkedSortedGroup) {
    DuplicateScene s;
    s.buildSorted({{"b/copy.txt", "same text"}, {"a/orig.txt", "same text"}, {"other.txt", "different"}});
    s.engine.findDuplicates();

    std::vector<std::string> members{s.win("a/orig.txt"), s.win("b/copy.txt")};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(9)", members}}));
    s.expectConsistentTrees();
    const NodeId root = s.trees.dirList.firstRoot();
    EXPECT_EQ(s.trees.dirList.counter(root), 2);
    EXPECT_EQ(s.trees.dirList.imageIndex(root), kImgFolderMarked);
    EXPECT_EQ(s.trees.dirList.imageIndex(s.fileNodes[2]), kImgFile);   // other.txt, unmatched
    EXPECT_FALSE(s.engine.comparing);
    EXPECT_EQ(s.ui.log.front(), "Comparaison des fichiers présumés doubles");
    EXPECT_EQ(s.ui.stopCaption, "Arrête les comparaisons");
}

TEST(DuplicatesGrouping, ExchangeKeepsPassedOverFileOutOfTheGroup) {
    // A X B C in one size class: X is unreadable, so every pair it takes part in is logged.
    // After A matches B, X is exchanged behind and is not paired with B or C again.
    DuplicateScene s;
    s.build({{"A", "abcdef"}, {"X", "xxxxxx"}, {"B", "abcdef"}, {"C", "abcdef"}});
    s.remove("X");
    s.engine.findDuplicates();

    std::vector<std::string> members{s.win("A"), s.win("B"), s.win("C")};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(6)", members}}));
    EXPECT_EQ(s.compareLog(), (std::vector<std::string>{inaccessible(s, "X")}));
}

TEST(DuplicatesGrouping, SeveralGroupsOfOneSizeAndOfSeveralSizes) {
    DuplicateScene s;
    s.build({{"p1", "PPPP"}, {"q1", "QQQQ"}, {"p2", "PPPP"}, {"q2", "QQQQ"}, {"q3", "QQQQ"},
             {"r1", "RRR"}, {"r2", "RRR"}, {"s1", "SS"}});
    s.engine.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(4)", {s.win("p1"), s.win("p2")}},
                                              {"(4)", {s.win("q1"), s.win("q2"), s.win("q3")}},
                                              {"(3)", {s.win("r1"), s.win("r2")}}}));
    s.expectConsistentTrees();
}

TEST(DuplicatesEmptyFiles, AllEmptyFilesFormOneGroupWithoutBeingOpened) {
    DuplicateScene s;
    std::vector<SceneFile> files{{"big", "content"}};
    for (int i = 0; i < 7; ++i) files.push_back({"e" + std::to_string(i), ""});
    s.buildSorted(files);
    // Gone since the walk: an empty file is a member all the same, and nothing is logged.
    s.remove("e2");
    s.remove("e5");
    s.engine.findDuplicates();

    const auto groups = s.groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].text, "(0)");
    EXPECT_EQ(groups[0].members.size(), 7u);
    EXPECT_TRUE(s.compareLog().empty());
    s.expectConsistentTrees();
}

TEST(DuplicatesUnreadable, LoggedOncePerPairAndNeverAMember) {
    // Unreadable first in its class: it is the representative of every pair of the class.
    DuplicateScene s;
    s.build({{"L", "12345"}, {"A", "abcde"}, {"A2", "abcde"}, {"B", "bbbbb"}});
    s.remove("L");
    s.engine.findDuplicates();
    EXPECT_EQ(s.compareLog(), std::vector<std::string>(3, inaccessible(s, "L")));
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5)", {s.win("A"), s.win("A2")}}}));
}

TEST(DuplicatesUnreadable, SpecialFileInPlaceOfARegularOneIsUnreadable) {
    // A FIFO where the walk saw a file: it must neither hang the open nor be compared.
    DuplicateScene s;
    s.build({{"A", "abcde"}, {"F", "abcde"}, {"A2", "abcde"}});
    s.remove("F");
    ASSERT_EQ(::mkfifo((s.dir.path() + "/F").c_str(), 0644), 0);
    s.engine.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5)", {s.win("A"), s.win("A2")}}}));
    EXPECT_EQ(countOf(s.compareLog(), inaccessible(s, "F")), 1);
}

TEST(DuplicatesUnreadable, PathPastTheLimitIsNotReadThroughItsCutNamesake) {
    // The long name's full path passes 255 characters; cut, it names "abcde" beside it,
    // another file of the same size. The long one counts as unreadable, never as that file.
    DuplicateScene s;
    const std::string folder(250 - s.rootWin.size() - 2, 'f');
    const std::string longRel = folder + "/abcdefghij";
    const std::string namesakeRel = folder + "/abcde";
    s.build({{longRel, "other"}, {"T", "same!"}, {namesakeRel, "same!"}});
    ASSERT_GT(s.win(longRel).size(), 255u);
    ASSERT_EQ(s.fullPaths[0], s.win(namesakeRel));
    s.engine.findDuplicates();

    std::vector<std::string> members{s.win("T"), s.win(namesakeRel)};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5)", members}}));
    EXPECT_EQ(s.compareLog(), std::vector<std::string>(2, s.fullPaths[0] + " inaccessible"));
    EXPECT_EQ(s.trees.dirList.link(s.fileNodes[0]), kNoNode);
    EXPECT_NE(s.trees.dirList.link(s.fileNodes[2]), kNoNode);
    s.expectConsistentTrees();
}

TEST(DuplicatesUnreadable, EveryPairIsReportedEvenWhenTheDigestsAreKnown) {
    // Two copies and an unreadable file among distinct files: the memory of first chunks must
    // not swallow the unreadable file's lines nor the copies' match.
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 6; ++i) files.push_back({"d" + std::to_string(i), std::string(8, char('a' + i))});
    files.insert(files.begin() + 2, {"L", "LLLLLLLL"});
    files.insert(files.begin() + 4, {"c1", "cccccccC"});
    files.push_back({"c2", "cccccccC"});
    s.build(files);
    s.remove("L");
    s.engine.findDuplicates();
    // Sequence d0 d1 L d2 c1 d3 d4 d5 c2: L meets each of the eight others in one pair.
    EXPECT_EQ(s.compareLog(), std::vector<std::string>(8, inaccessible(s, "L")));
}

TEST(DuplicatesChunks, LastByteDifferenceAndChunkMultiples) {
    const std::size_t chunk = kBlockBufferSize;
    std::string one = bytes(chunk, 'x');
    std::string two = bytes(2 * chunk, 'y');
    std::string twoLast = two;
    twoLast.back() = 'z';
    std::string twoFirstChunkEnd = two;
    twoFirstChunkEnd[chunk - 1] = 'z';
    std::string small = "0123456789";
    std::string smallLast = "012345678X";

    DuplicateScene s;
    s.buildSorted({{"two_a", two}, {"two_last", twoLast}, {"two_b", two}, {"two_mid", twoFirstChunkEnd},
                   {"one_a", one}, {"one_b", one}, {"one_c", one}, {"s_a", small}, {"s_last", smallLast}});
    s.engine.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(131056)", {s.win("two_a"), s.win("two_b")}},
                                              {"(65528)", {s.win("one_a"), s.win("one_b"), s.win("one_c")}}}));
    EXPECT_TRUE(s.compareLog().empty());
}

TEST(DuplicatesChunks, FileLongerThanItsRecordedSizeIsNotEqual) {
    // Both recorded as 5 bytes; one has grown since the walk but starts with the other's bytes.
    const std::string shorter = "hello";
    const std::string longer = "hello" + bytes(2 * kBlockBufferSize, '!');
    for (bool longerFirst : {true, false}) {
        DuplicateScene s;
        SceneFile a{"short", shorter};
        SceneFile b{"long", longer, 5};
        s.build(longerFirst ? std::vector<SceneFile>{b, a} : std::vector<SceneFile>{a, b});
        s.engine.findDuplicates();
        EXPECT_TRUE(s.groups().empty()) << "longer first: " << longerFirst;
    }
}

TEST(DuplicatesIdentity, HardLinksAreNeverGroupedWithEachOther) {
    DuplicateScene s;
    s.build({{"a", "linked data"}, {"b", "unrelated!!"}, {"copy", "linked data"}, {"e1", ""}});
    // Hard links made after the files: "a" twice under other names, and the empty file.
    ASSERT_EQ(::unlink((s.dir.path() + "/b").c_str()), 0);
    ASSERT_EQ(::link((s.dir.path() + "/a").c_str(), (s.dir.path() + "/b").c_str()), 0);
    s.engine.findDuplicates();
    // b now names a's file: a and copy form the group, b is left out.
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(11)", {s.win("a"), s.win("copy")}}}));
}

TEST(DuplicatesIdentity, LinkOfAnEarlierMemberIsLeftOut) {
    // a, copy, link-of-a: after a matches copy, the third file names the group's first member.
    DuplicateScene s;
    s.build({{"a", "payload"}, {"copy", "payload"}, {"z", "payload"}, {"e1", ""}, {"e2", ""}});
    ASSERT_EQ(::unlink((s.dir.path() + "/z").c_str()), 0);
    ASSERT_EQ(::link((s.dir.path() + "/a").c_str(), (s.dir.path() + "/z").c_str()), 0);
    ASSERT_EQ(::unlink((s.dir.path() + "/e2").c_str()), 0);
    ASSERT_EQ(::link((s.dir.path() + "/e1").c_str(), (s.dir.path() + "/e2").c_str()), 0);
    s.engine.findDuplicates();
    // The two names of one empty file are not a pair either.
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(7)", {s.win("a"), s.win("copy")}}}));
}

TEST(DuplicatesRefill, ManyDistinctFilesOfOneSizeAreEachComparedWithEveryLaterOne) {
    // 300 files of one size, all different, with an unreadable one in the middle: it is paired
    // with every other file exactly once, whichever side of the pair it is on.
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 300; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "f%03d", i);
        files.push_back({buf, std::string("content-") + buf});
    }
    s.build(files);
    s.remove("f150");
    s.engine.findDuplicates();
    EXPECT_TRUE(s.groups().empty());
    EXPECT_EQ(s.compareLog(), std::vector<std::string>(299, inaccessible(s, "f150")));
}

TEST(DuplicatesRefill, GroupScatteredBeyondTheWindowIsComplete) {
    // Members at both ends of a class of 700 and others in between: matches are made in
    // refill mode, and the records they displace must still be seen once each.
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 700; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "f%03d", i);
        const bool inGroup = i == 0 || i == 5 || i == 260 || i == 261 || i == 520 || i == 699;
        const bool inPair = i == 1 || i == 600;
        files.push_back({buf, inGroup ? std::string("GROUP---") : inPair ? std::string("PAIR----")
                                                                        : std::string("u-") + buf + "--"});
    }
    s.build(files);
    s.engine.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(8)", {s.win("f000"), s.win("f005"), s.win("f260"),
                                                       s.win("f261"), s.win("f520"), s.win("f699")}},
                                              {"(8)", {s.win("f001"), s.win("f600")}}}));
    s.expectConsistentTrees();
}

TEST(DuplicatesRun, StopLeavesCompleteGroupsAndRestoresTheWindow) {
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 40; ++i) {
        const std::string c = "group" + std::to_string(i);
        files.push_back({"a" + std::to_string(i), c + std::string(40 - c.size(), '.')});
        files.push_back({"b" + std::to_string(i), c + std::string(40 - c.size(), '.')});
        files.push_back({"c" + std::to_string(i), c + std::string(40 - c.size(), '.')});
    }
    s.build(files);
    int steps = 0;
    bool panelsDuringRun = false;
    s.ui.onProcessEvents = [&] {
        panelsDuringRun = s.ui.panelMode && s.ui.progressVisible;
        if (++steps == 50) s.engine.comparing = false;   // what the Stop button's second role does
    };
    s.engine.findDuplicates();

    EXPECT_TRUE(panelsDuringRun);
    EXPECT_LT(steps, 60);
    const auto groups = s.groups();
    EXPECT_FALSE(groups.empty());
    EXPECT_LT(groups.size(), 40u);
    s.expectConsistentTrees();
    for (const auto& g : groups) EXPECT_EQ(g.members.size(), 3u) << g;
    EXPECT_FALSE(s.ui.panelMode);
    EXPECT_FALSE(s.ui.progressVisible);
    EXPECT_FALSE(s.engine.comparing);
}

TEST(DuplicatesRun, StatusPanelsAndProgress) {
    DuplicateScene s;
    s.ui.width = 901;
    std::vector<SceneFile> files;
    for (int i = 0; i < 250; ++i) files.push_back({"f" + std::to_string(i), std::to_string(i * 7919)});
    files.push_back({"twin1", "12345678901234567890"});
    files.push_back({"twin2", "12345678901234567890"});
    s.buildSorted(files);
    std::vector<std::string> panelPairs;
    s.ui.onProcessEvents = [&] { panelPairs.push_back(s.ui.panelText[0] + "|" + s.ui.panelText[1]); };
    s.engine.findDuplicates();

    EXPECT_EQ(s.ui.panelWidth[0], 450);
    EXPECT_EQ(s.ui.progressMax, 252);
    // Names, not paths, while the twins were compared.
    EXPECT_NE(std::find(panelPairs.begin(), panelPairs.end(), "twin1|twin2"), panelPairs.end());
    // Moved about once per hundredth, never backwards, never past the end.
    ASSERT_FALSE(s.ui.progressPositions.empty());
    for (std::size_t i = 1; i < s.ui.progressPositions.size(); ++i)
        EXPECT_GT(s.ui.progressPositions[i], s.ui.progressPositions[i - 1] + 252 / 100);
    EXPECT_LT(s.ui.progressPositions.size(), 110u);
    EXPECT_LE(s.ui.progressPositions.back(), 252);
}

}  // namespace
}  // namespace parelix::test
