// External sort of the file list: the order it leaves, and the run files it makes, renames
// and deletes, watched through inotify on a temporary folder of the test's own.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "platform/Services.h"
#include "platform/Drives.h"
#include "platform/WorkFile.h"
#include "support/FakeSearchUi.h"
#include "support/TestSupport.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

std::string lastComponent(const std::string& windowsPath) {
    return windowsPath.substr(windowsPath.find_last_of('\\') + 1);
}

class SortTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.startup();
        const std::string leaf = lastComponent(engine_.fileListName());
        stem_ = leaf.substr(0, leaf.find('.') + 1);   // "DBLxxxx."
        ASSERT_EQ(stem_.substr(0, 3), "DBL");
        ASSERT_TRUE(fs::exists(tmp_.path() + "/" + leaf)) << "work files not in the test's folder";
    }
    void TearDown() override {
        engine_.shutdown();
    }

    // Writes the file list: record k has the given size and node k.
    void writeFileList(const std::vector<std::int32_t>& sizes) { writeFileList(engine_.fileListName(), sizes); }
    static void writeFileList(const std::string& name, const std::vector<std::int32_t>& sizes) {
        WorkFile f;
        f.assign(name, DriveTable::current());
        f.rewrite(kFileEntrySize);
        std::uint8_t record[kFileEntrySize] = {};
        for (std::size_t k = 0; k < sizes.size(); ++k) {
            encodeFileEntry(FileEntry{"f" + std::to_string(k), sizes[k], static_cast<std::uint32_t>(k % 7),
                                      static_cast<NodeId>(k)},
                            record);
            f.write(record);
        }
        f.close();
    }

    std::vector<FileEntry> readFileList() { return readFileList(engine_.fileListName()); }
    static std::vector<FileEntry> readFileList(const std::string& name) {
        WorkFile f;
        f.assign(name, DriveTable::current());
        f.reset(kFileEntrySize);
        std::vector<FileEntry> out;
        std::uint8_t record[kFileEntrySize];
        while (f.blockRead(record, 1) == 1) out.push_back(decodeFileEntry(record));
        f.close();
        return out;
    }

    // Sorts and returns what happened to the work folder's files of this engine: "+ext"
    // created, "-ext" deleted, "from>to" renamed.
    std::vector<std::string> sortWatched() {
        return watched(tmp_.path(), [&] { engine_.sortFileList(); });
    }
    std::vector<std::string> watched(const std::string& folder, const std::function<void()>& action) {
        const int fd = inotify_init1(IN_NONBLOCK);
        EXPECT_GE(fd, 0);
        inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
        action();
        std::vector<std::string> events;
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        std::string movedFrom;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                const std::string name = e->len ? e->name : "";
                p += sizeof(inotify_event) + e->len;
                if (name.rfind(stem_, 0) != 0) continue;
                const std::string ext = name.substr(stem_.size());
                if (e->mask & IN_CREATE) events.push_back("+" + ext);
                if (e->mask & IN_DELETE) events.push_back("-" + ext);
                if (e->mask & IN_MOVED_FROM) movedFrom = ext;
                if (e->mask & IN_MOVED_TO) events.push_back(movedFrom + ">" + ext);
            }
        }
        close(fd);
        return events;
    }

    static std::vector<std::string> namesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The sort left only the work files, and the file list holds the input's records
    // in order of decreasing signed size.
    void expectSortedPermutation(const std::vector<std::int32_t>& sizes) {
        const std::vector<std::string> left = namesIn(tmp_.path());
        std::vector<std::string> workFiles{lastComponent(engine_.fileListName()),
                                           lastComponent(engine_.dirListName())};
        std::sort(workFiles.begin(), workFiles.end());
        EXPECT_EQ(left, workFiles);

        const std::vector<FileEntry> out = readFileList();
        ASSERT_EQ(out.size(), sizes.size());
        std::vector<bool> seen(sizes.size(), false);
        for (std::size_t k = 0; k < out.size(); ++k) {
            if (k > 0) {
                ASSERT_GE(out[k - 1].size, out[k].size) << "at record " << k;
            }
            const NodeId id = out[k].node;
            ASSERT_LT(id, sizes.size());
            ASSERT_FALSE(seen[id]) << "record " << id << " twice";
            seen[id] = true;
            EXPECT_EQ(out[k].size, sizes[id]);
            EXPECT_EQ(out[k].name, "f" + std::to_string(id));
            EXPECT_EQ(out[k].dirIndex, id % 7);
        }
    }

    std::vector<std::int32_t> randomSizes(std::size_t n, int distinct) {
        std::mt19937 rng(static_cast<unsigned>(n));
        std::uniform_int_distribution<int> pick(0, distinct - 1);
        std::vector<std::int32_t> sizes(n);
        for (auto& s : sizes) s = pick(rng) * 1000 - 3000;   // a few negatives, zero, positives
        return sizes;
    }

    test::TempDir tmp_;
    test::TmpDirVariable tmpDir_{tmp_.path().c_str()};
    std::string stem_;
    test::FakeSearchUi ui_;
    ResultTrees trees_;
    PlatformServices services_;   // this process's drives
    SearchEngine engine_{trees_, ui_, services_};
};

TEST(RunFileNameTest, ReplacesTheExtensionOfTheLastComponent) {
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 0, 0), "C:\\tmp\\DBL1A2B.000");
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 0, 1), "C:\\tmp\\DBL1A2B.001");
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 9, 0), "C:\\tmp\\DBL1A2B.090");
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 10, 1), "C:\\tmp\\DBL1A2B.0A1");
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 15, 0), "C:\\tmp\\DBL1A2B.0F0");
    EXPECT_EQ(FileListSort::runFileName("C:\\tmp\\DBL1A2B.tmp", 16, 0), "C:\\tmp\\DBL1A2B.0G0");
    // No extension: appended; a dot in a folder name is not an extension.
    EXPECT_EQ(FileListSort::runFileName("C:\\my.dir\\DBL1A2B", 1, 0), "C:\\my.dir\\DBL1A2B.010");
    EXPECT_EQ(FileListSort::runFileName("C:\\a\\b.c.tmp", 2, 1), "C:\\a\\b.c.021");
}

TEST_F(SortTest, SingleBlockIsOneRunRenamedOntoTheFileList) {
    for (std::size_t n : {2u, 17u, 242u}) {
        SCOPED_TRACE(n);
        const std::vector<std::int32_t> sizes = randomSizes(n, 9);
        writeFileList(sizes);
        EXPECT_EQ(sortWatched(), (std::vector<std::string>{"+000", "-tmp", "000>tmp"}));
        expectSortedPermutation(sizes);
    }
    EXPECT_EQ(ui_.log, (std::vector<std::string>(3, "Tri des fichiers par taille")));
}

TEST_F(SortTest, FullFirstBlockIsMergedWithAnEmptyOrShortSecondRun) {
    for (std::size_t n : {243u, 244u}) {
        SCOPED_TRACE(n);
        const std::vector<std::int32_t> sizes = randomSizes(n, 40);
        writeFileList(sizes);
        EXPECT_EQ(sortWatched(), (std::vector<std::string>{"+000", "+001", "+010", "-001", "-000", "-tmp",
                                                           "010>tmp"}));
        expectSortedPermutation(sizes);
    }
}

TEST_F(SortTest, RightHalfThatRunsOutIsRenamedUpALevel) {
    // 486 ends with an empty level-0 run, 500 with a short one: the same files either way.
    for (std::size_t n : {486u, 500u}) {
        SCOPED_TRACE(n);
        const std::vector<std::int32_t> sizes = randomSizes(n, 100);
        writeFileList(sizes);
        EXPECT_EQ(sortWatched(),
                  (std::vector<std::string>{"+000", "+001", "+010", "-001", "-000", "+000", "000>011", "+020",
                                            "-011", "-010", "-tmp", "020>tmp"}));
        expectSortedPermutation(sizes);
    }
}

TEST_F(SortTest, FullRightHalfIsMergedBeforeTheNextLevel) {
    const std::vector<std::int32_t> sizes = randomSizes(3 * 243, 100);
    writeFileList(sizes);
    EXPECT_EQ(sortWatched(),
              (std::vector<std::string>{"+000", "+001", "+010", "-001", "-000", "+000", "+001", "+011", "-001",
                                        "-000", "+020", "-011", "-010", "-tmp", "020>tmp"}));
    expectSortedPermutation(sizes);
}

TEST_F(SortTest, ManyLevelsKeepEveryRecordAndLeaveNoRunFile) {
    for (std::size_t n : {243u * 8, 243u * 8 + 1, 5000u}) {
        SCOPED_TRACE(n);
        const std::vector<std::int32_t> sizes = randomSizes(n, n == 5000 ? 3 : 2000);
        writeFileList(sizes);
        engine_.sortFileList();
        expectSortedPermutation(sizes);
    }
}

TEST_F(SortTest, SignedSizesPutNegativesAfterZeroInBlockAndMerge) {
    const std::vector<std::int32_t> extremes{0, INT_MIN, -1, INT_MAX, 5, 0, 7, -1};
    writeFileList(extremes);
    engine_.sortFileList();
    std::vector<std::int32_t> got;
    for (const FileEntry& e : readFileList()) got.push_back(e.size);
    EXPECT_EQ(got, (std::vector<std::int32_t>{INT_MAX, 7, 5, 0, 0, -1, -1, INT_MIN}));

    // Across blocks the merge compares signed sizes too.
    std::vector<std::int32_t> sizes;
    for (int k = 0; k < 700; ++k) sizes.push_back(k % 3 == 0 ? -k - 1 : (k % 3 == 1 ? 0 : k));
    sizes.push_back(INT_MIN);
    sizes.push_back(INT_MAX);
    writeFileList(sizes);
    engine_.sortFileList();
    expectSortedPermutation(sizes);
}

TEST_F(SortTest, AllSizesEqualKeepsEveryRecord) {
    const std::vector<std::int32_t> sizes(500, 4096);
    writeFileList(sizes);
    engine_.sortFileList();
    expectSortedPermutation(sizes);
}

// A disk that fills up in mid-sort: the error keeps its text, the run files made so far go
// with it (they would keep the disk full), and the file list keeps every record.
TEST_F(SortTest, FullDiskFailureLeavesNoRunFile) {
    const std::string small = tmp_.mkdir("small");
    const test::ScopedMount mount = test::ScopedMount::tmpfs(small, "512k");
    if (!mount.ok()) GTEST_SKIP() << mount.why();
    setenv("TMPDIR", small.c_str(), 1);
    SearchEngine engine{trees_, ui_, services_};
    engine.startup();
    const std::string leaf = lastComponent(engine.fileListName());
    stem_ = leaf.substr(0, leaf.find('.') + 1);
    const std::vector<std::string> workFiles = namesIn(small);
    ASSERT_EQ(workFiles.size(), 2u);
    // 268,000 bytes of file list fit in the 512 KiB; the first merge's output does not.
    const std::vector<std::int32_t> sizes = randomSizes(1000, 50);
    writeFileList(engine.fileListName(), sizes);

    std::vector<std::string> first;
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        const std::vector<std::string> events = watched(small, [&] {
            try {
                engine.sortFileList();
                ADD_FAILURE() << "the sort did not fail";
            } catch (const InOutError& e) {
                EXPECT_EQ(e.code(), 101);
                EXPECT_STREQ(e.what(), "Disque plein");
            }
        });
        // Runs of two levels were made before the disk filled up.
        for (const char* run : {"+000", "+001", "+010"})
            EXPECT_NE(std::find(events.begin(), events.end(), run), events.end()) << run;
        EXPECT_EQ(namesIn(small), workFiles);
        // The next attempt gets as far as this one.
        if (attempt == 0) first = events;
        else EXPECT_EQ(events, first);
    }
    const std::vector<FileEntry> kept = readFileList(engine.fileListName());
    ASSERT_EQ(kept.size(), sizes.size());
    for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].size, sizes[k]);
    engine.shutdown();
    EXPECT_TRUE(namesIn(small).empty());
}

}  // namespace
}  // namespace parelix
