// Duplicate detection on chosen sequences: grouping, exchanges, unreadable files, chunk
// boundaries, file identity, stop, and what the window shows.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

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
    s.findDuplicates();

    std::vector<std::string> members{s.win("a/orig.txt"), s.win("b/copy.txt")};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(9)", members}}));
    s.expectConsistentTrees();
    const NodeId root = s.trees.dirList.firstRoot();
    EXPECT_EQ(s.trees.dirList.counter(root), 2);
    EXPECT_EQ(s.trees.dirList.imageIndex(root), kImgFolderMarked);
    EXPECT_EQ(s.trees.dirList.imageIndex(s.fileNodes[2]), kImgFile);   // other.txt, unmatched
    EXPECT_FALSE(s.engine.comparing());
    EXPECT_EQ(s.ui.log.front(), "Comparaison des fichiers présumés doubles");
    EXPECT_EQ(s.ui.phases, (std::vector<std::string>{"+Comparison", "-Comparison 3"}));
}

TEST(DuplicatesGrouping, ExchangeKeepsPassedOverFileOutOfTheGroup) {
    // A X B C in one size class: X is unreadable, so every pair it takes part in is logged.
    // After A matches B, X is exchanged behind and is not paired with B or C again.
    DuplicateScene s;
    s.build({{"A", "abcdef"}, {"X", "xxxxxx"}, {"B", "abcdef"}, {"C", "abcdef"}});
    s.remove("X");
    s.findDuplicates();

    std::vector<std::string> members{s.win("A"), s.win("B"), s.win("C")};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(6)", members}}));
    EXPECT_EQ(s.compareLog(), (std::vector<std::string>{inaccessible(s, "X")}));
}

TEST(DuplicatesGrouping, SeveralGroupsOfOneSizeAndOfSeveralSizes) {
    DuplicateScene s;
    s.build({{"p1", "PPPP"}, {"q1", "QQQQ"}, {"p2", "PPPP"}, {"q2", "QQQQ"}, {"q3", "QQQQ"},
             {"r1", "RRR"}, {"r2", "RRR"}, {"s1", "SS"}});
    s.findDuplicates();
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
    s.findDuplicates();

    const auto groups = s.groups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].text, "(0)");
    EXPECT_EQ(groups[0].members.size(), 7u);
    EXPECT_TRUE(s.compareLog().empty());
    s.expectConsistentTrees();
}

TEST(DuplicatesUnreadable, LoggedOncePerRunWhereThePairwiseWalkFirstMeetsIt) {
    // L leads its class, so the walk meets it as a representative; M is met later as a
    // candidate. Each is logged once, in class order, and never becomes a member. In the
    // second class both files fail: the walk opens only the first of them.
    DuplicateScene s;
    s.build({{"L", "12345"}, {"A", "abcde"}, {"M", "mmmmm"}, {"A2", "abcde"}, {"B", "bbbbb"},
             {"V1", "vvv"}, {"V2", "www"}});
    for (const char* gone : {"L", "M", "V1", "V2"}) s.remove(gone);
    s.findDuplicates();
    EXPECT_EQ(s.compareLog(), (std::vector<std::string>{inaccessible(s, "L"), inaccessible(s, "M"),
                                                        inaccessible(s, "V1")}));
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5)", {s.win("A"), s.win("A2")}}}));
}

TEST(DuplicatesUnreadable, SpecialFileInPlaceOfARegularOneIsUnreadable) {
    // A FIFO where the walk saw a file: it must neither hang the open nor be compared.
    DuplicateScene s;
    s.build({{"A", "abcde"}, {"F", "abcde"}, {"A2", "abcde"}});
    s.remove("F");
    ASSERT_EQ(::mkfifo((s.dir.path() + "/F").c_str(), 0644), 0);
    s.findDuplicates();
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
    s.findDuplicates();

    std::vector<std::string> members{s.win("T"), s.win(namesakeRel)};
    sortMembers(members);
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5)", members}}));
    EXPECT_EQ(s.compareLog(), std::vector<std::string>{s.fullPaths[0] + " inaccessible"});
    EXPECT_EQ(s.trees.dirList.link(s.fileNodes[0]), kNoNode);
    EXPECT_NE(s.trees.dirList.link(s.fileNodes[2]), kNoNode);
    s.expectConsistentTrees();
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
    s.findDuplicates();
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
        s.findDuplicates();
        EXPECT_TRUE(s.groups().empty()) << "longer first: " << longerFirst;
    }
}

TEST(DuplicatesChunks, RecordedSizeZeroIsReadWhenTheRealSizeIsNot) {
    // The size kept is the low 32 bits: a 4 GiB file is recorded as 0 beside the empty files.
    // It must be read, not grouped with them, and two such files that differ are no group.
    DuplicateScene s;
    s.build({{"big", "", 0}, {"big2", "", 0}, {"e1", ""}, {"e2", ""}});
    const std::int64_t fourGiB = std::int64_t{1} << 32;
    for (const char* name : {"big", "big2"}) {
        const std::string p = s.dir.path() + "/" + name;
        ASSERT_EQ(::truncate(p.c_str(), fourGiB), 0);
        std::ofstream(p, std::ios::in | std::ios::out | std::ios::binary).write(name, 3);   // "big" and "big"
    }
    // big and big2 share their first 3 bytes; big2 differs at byte 3.
    std::ofstream(s.dir.path() + "/big2", std::ios::in | std::ios::out | std::ios::binary).seekp(3).put('2');
    s.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(0)", {s.win("e1"), s.win("e2")}}}));
}

TEST(DuplicatesChunks, GroupTextShowsTheRealSize) {
    // Both copies grew since the walk: the group shows the size of what was compared.
    DuplicateScene s;
    s.build({{"g1", "grown!!", 5}, {"g2", "grown!!", 5}});
    s.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(7)", {s.win("g1"), s.win("g2")}}}));
}

TEST(DuplicatesIdentity, HardLinksAreNeverGroupedWithEachOther) {
    DuplicateScene s;
    s.build({{"a", "linked data"}, {"b", "unrelated!!"}, {"copy", "linked data"}, {"e1", ""}});
    // Hard links made after the files: "a" twice under other names, and the empty file.
    ASSERT_EQ(::unlink((s.dir.path() + "/b").c_str()), 0);
    ASSERT_EQ(::link((s.dir.path() + "/a").c_str(), (s.dir.path() + "/b").c_str()), 0);
    s.findDuplicates();
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
    s.findDuplicates();
    // The two names of one empty file are not a pair either.
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(7)", {s.win("a"), s.win("copy")}}}));
}

TEST(DuplicatesIdentity, OneFileIsAMemberOfOneGroupOnly) {
    // a and a2 name one file, b and b2 another, all four with one content: a group {a, b}
    // and a second one {a2, b2} would show each file twice, each group looking safe to delete
    // from. Only the first group is made.
    DuplicateScene s;
    s.build({{"a", "same bytes"}, {"a2", "xxxxxxxxxx"}, {"b", "same bytes"}, {"b2", "yyyyyyyyyy"}});
    for (auto [target, name] : {std::pair{"a", "a2"}, std::pair{"b", "b2"}}) {
        ASSERT_EQ(::unlink((s.dir.path() + "/" + name).c_str()), 0);
        ASSERT_EQ(::link((s.dir.path() + "/" + target).c_str(), (s.dir.path() + "/" + name).c_str()), 0);
    }
    s.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(10)", {s.win("a"), s.win("b")}}}));
}

TEST(DuplicatesIdentity, ACrowdOfNamesOfOneFileKeepsTheWindowTurning) {
    // 3,000 names of one file and one copy: the copy pairs with the first name, and none of
    // the others is passed over again for every representative, which left the window without
    // a turn for the whole class.
    constexpr int kNames = 3000;
    DuplicateScene s;
    const std::string data(5000, 'L');
    std::vector<SceneFile> files;
    for (int i = 0; i < kNames; ++i) files.push_back({"l" + std::to_string(10000 + i), data});
    files.push_back({"copy", data});
    s.build(files);
    for (int i = 1; i < kNames; ++i) s.relink("l10000", "l" + std::to_string(10000 + i));
    using Clock = std::chrono::steady_clock;
    Clock::time_point last{};
    Clock::duration longest{};
    s.ui.onEventTurn = [&] {
        const auto now = Clock::now();
        if (last != Clock::time_point{}) longest = std::max(longest, now - last);
        last = now;
    };
    s.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(5000)", {s.win("copy"), s.win("l10000")}}}));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count(), 100)
        << "the longest stretch without an event turn";
}

TEST(DuplicatesCrowdedClass, ManyDistinctFilesOfOneSizeMakeNoGroup) {
    // 300 files of one size, all different, with an unreadable one in the middle: no group,
    // and the unreadable file is logged once, not once per file it would have met.
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 300; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "f%03d", i);
        files.push_back({buf, std::string("content-") + buf});
    }
    s.build(files);
    s.remove("f150");
    s.findDuplicates();
    EXPECT_TRUE(s.groups().empty());
    EXPECT_EQ(s.compareLog(), std::vector<std::string>{inaccessible(s, "f150")});
}

TEST(DuplicatesCrowdedClass, GroupScatteredThroughALargeClassIsComplete) {
    // Members at both ends of a class of 700 and others in between: every match displaces a
    // record, which must still be seen once, and the pair's group comes second.
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
    s.findDuplicates();
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
    int steps = 0, stepsAtStop = 0;
    bool panelsDuringRun = false;
    s.ui.onEventTurn = [&] {
        ++steps;
        panelsDuringRun = s.ui.currentPhase() == "Comparison";
        // What the Stop button's second role does, once a few groups are shown.
        if (stepsAtStop == 0 && s.trees.dblList.childCount(kNoNode) == 5) {
            s.engine.stop();
            stepsAtStop = steps;
        }
    };
    s.findDuplicates();

    EXPECT_TRUE(panelsDuringRun);
    EXPECT_EQ(steps, stepsAtStop) << "answered within the step";
    // The group open at the stop is closed with the members found so far.
    const auto groups = s.groups();
    ASSERT_EQ(groups.size(), 5u);
    s.expectConsistentTrees();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(groups[i].members.size(), 3u) << groups[i];
    EXPECT_EQ(s.ui.currentPhase(), "");
    EXPECT_FALSE(s.engine.comparing());
}

TEST(DuplicatesRun, StopWhileAClassIsReadKeepsTheGroupFoundSoFar) {
    // a1 and a2 are read, u cannot be opened; Stop comes at u's log line. The pair already
    // read makes its group; b1 and b2, never read, make none.
    DuplicateScene s;
    s.build({{"a1", "aaaa"}, {"a2", "aaaa"}, {"u", "uuuu"}, {"b1", "bbbb"}, {"b2", "bbbb"}});
    s.remove("u");
    s.ui.onEventTurn = [&] {
        if (!s.ui.log.empty() && s.ui.log.back() == inaccessible(s, "u")) s.engine.stop();
    };
    s.findDuplicates();
    EXPECT_EQ(s.groups(), (std::vector<Group>{{"(4)", {s.win("a1"), s.win("a2")}}}));
    s.expectConsistentTrees();
    EXPECT_FALSE(s.engine.comparing());
}

TEST(DuplicatesRun, LongPairGivesTheWindowTurnsAndStopEndsIt) {
    // Two copies of several chunks: the window gets turns between chunks, and a Stop in one
    // of them ends the pair at once, uncompared.
    const std::string big(5 * kBlockBufferSize, 'q');
    for (bool stop : {false, true}) {
        DuplicateScene s;
        s.build({{"big1", big}, {"big2", big}});
        int turnsInPair = 0;
        s.ui.onEventTurn = [&] {
            if (s.ui.pair[0] != "big1" || s.ui.pair[1] != "big2") return;
            ++turnsInPair;
            if (stop) s.engine.stop();
        };
        s.findDuplicates();
        if (stop) {
            EXPECT_EQ(turnsInPair, 1);
            EXPECT_TRUE(s.groups().empty());
            EXPECT_EQ(s.ui.phases.back(), "-Comparison 2") << "the phase ends as after a step";
        } else {
            EXPECT_GE(turnsInPair, 4) << "a turn between every two chunks";
            EXPECT_EQ(s.groups().size(), 1u);
        }
    }
}

TEST(DuplicatesRun, StatusPanelsAndProgress) {
    DuplicateScene s;
    std::vector<SceneFile> files;
    for (int i = 0; i < 250; ++i) files.push_back({"f" + std::to_string(i), std::to_string(i * 7919)});
    files.push_back({"twin1", "12345678901234567890"});
    files.push_back({"twin2", "12345678901234567890"});
    s.buildSorted(files);
    std::vector<std::string> panelPairs;
    s.ui.onEventTurn = [&] { panelPairs.push_back(s.ui.pair[0] + "|" + s.ui.pair[1]); };
    s.findDuplicates();

    EXPECT_EQ(s.ui.comparisonFiles, 252);
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
