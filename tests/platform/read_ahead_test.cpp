// Reading searched files: a read that takes only what is in memory, the folders held to open
// files relative to them, and the readers that serve reads asked ahead.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/FolderHandles.h"
#include "platform/ReadAhead.h"
#include "platform/SearchedFile.h"
#include "platform/WorkFile.h"
#include "support/TestSupport.h"

namespace parelix::test {
namespace {

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

// Drops the file's pages from memory, then reads its first page back: the rest is on disk.
void keepOnlyTheFirstPageInMemory(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    char page[4096];
    ASSERT_EQ(::pread(fd, page, sizeof page, 0), static_cast<ssize_t>(sizeof page));
    ::close(fd);
}

TEST(SearchedFileInMemory, APartlyCachedChunkReadsOnInOrder) {
    // The bytes in memory come first, the rest from the disk, from where they left off:
    // read again from the file's start, the chunk would repeat its first page.
    TempDir dir;
    const std::string content = randomBytes(3 * kContentChunkSize, 7);
    const std::string path = dir.write("f", content);
    for (int round = 0; round < 2; ++round) {
        if (round == 0) keepOnlyTheFirstPageInMemory(path);
        SearchedFile f;
        ASSERT_TRUE(f.open(path));
        std::string got(kContentChunkSize, '\0');
        auto* buffer = reinterpret_cast<std::uint8_t*>(got.data());
        const auto n = f.readChunkIfCached(buffer, kContentChunkSize);
        const std::size_t first = n ? *n : f.readChunk(buffer, kContentChunkSize);
        ASSERT_EQ(first, kContentChunkSize);
        EXPECT_TRUE(got == content.substr(0, kContentChunkSize)) << "round " << round;
        ASSERT_EQ(f.readChunk(buffer, kContentChunkSize), kContentChunkSize);
        EXPECT_TRUE(got == content.substr(kContentChunkSize, kContentChunkSize)) << "the next chunk follows";
    }
}

// The whole content of a file opened through the folders; "(not opened)" when it fails.
std::string readThrough(FolderHandles& folders, const std::string& path) {
    const int fd = folders.open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "(not opened)";
    std::string content;
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return content;
}

TEST(FolderHandles, AFolderRenamedOrReplacedSinceItWasHeldIsLetGo) {
    TempDir dir;
    for (const char* name : {"x", "y", "z"}) dir.write(std::string("d/") + name, std::string("old ") + name);
    const std::string d = dir.path() + "/d";
    // Looked at again on every open.
    FolderHandles folders(4, FolderHandles::Clock::duration::zero());
    for (const char* name : {"x", "y", "z"}) EXPECT_EQ(readThrough(folders, d + "/" + name), std::string("old ") + name);
    ASSERT_GE(folders.held(), 1u) << "three files in a row in one folder: it is held";

    ASSERT_EQ(::rename(d.c_str(), (d + ".moved").c_str()), 0);
    EXPECT_EQ(readThrough(folders, d + "/x"), "(not opened)") << "read through the moved folder";
    dir.write("d/x", "new x");
    EXPECT_EQ(readThrough(folders, d + "/x"), "new x") << "read through the replaced folder";
    // Whatever fails through a held folder is asked of the whole path.
    for (const char* name : {"x", "x", "x"}) EXPECT_EQ(readThrough(folders, d + "/" + name), "new x");
    dir.write("d/late", "late");
    EXPECT_EQ(readThrough(folders, d + "/late"), "late");

    // Room for one folder: the one above a folder that cannot be held is kept, and used.
    FolderHandles one(1, std::chrono::hours(1));
    for (const char* path : {"/d/x", "/d.moved/y", "/d/late"}) readThrough(one, dir.path() + path);
    ASSERT_EQ(one.held(), 1u) << "the folder above both";
    for (int i = 0; i < 3; ++i) EXPECT_EQ(readThrough(one, dir.path() + "/gone/f"), "(not opened)");
    EXPECT_EQ(one.held(), 1u);
    EXPECT_EQ(readThrough(one, d + ".moved/z"), "old z");
}

TEST(FolderHandles, ThreadsOpeningThroughFoldersLetGoMeanwhileReadTheirOwnFiles) {
    // Every folder holds the same names: a file opened through another folder's descriptor
    // (one closed while in use, its number handed out again) reads the wrong folder's bytes.
    TempDir dir;
    constexpr int kFolders = 6;
    for (int f = 0; f < kFolders; ++f)
        for (const char* name : {"a", "b", "c"}) dir.write("f" + std::to_string(f) + "/" + name, std::to_string(f));
    FolderHandles folders(2, FolderHandles::Clock::duration::zero());
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 600; ++i) {
                const int f = (i / 3 + t) % kFolders;
                const std::string name(1, static_cast<char>('a' + i % 3));
                if (readThrough(folders, dir.path() + "/f" + std::to_string(f) + "/" + name) != std::to_string(f))
                    ++wrong;
                if (i % 97 == t) folders.shed();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(folders.held(), 2u);
}

TEST(FolderHandles, OutOfDescriptorsTheHeldFoldersAreLetGoAndTheFileOpens) {
    TempDir dir;
    for (int f = 0; f < 4; ++f)
        for (const char* name : {"a", "b", "c"}) dir.write("f" + std::to_string(f) + "/" + name, name);
    // In a child: the limit on descriptors is the process's.
    const pid_t child = fork();
    if (child == 0) {
        ::close_range(3, ~0U, 0);
        FolderHandles folders(4, std::chrono::hours(1));
        for (int f = 0; f < 4; ++f)
            for (const char* name : {"a", "b", "c"})
                if (readThrough(folders, dir.path() + "/f" + std::to_string(f) + "/" + name) != name) _exit(10);
        if (folders.held() != 4) _exit(11);
        // One descriptor left: the first file takes it, the second only once the folders go.
        const int free = ::dup(0);
        ::close(free);
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(free + 1);
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(12);
        const int first = folders.open(dir.path() + "/f3/a", O_RDONLY);
        if (first < 0) _exit(13);
        const int second = folders.open(dir.path() + "/f3/b", O_RDONLY);
        _exit(second >= 0 ? 0 : 14);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: misread, 11: folders not held, 13/14: an open failed";
}

ssize_t failingRead(int, void*, std::size_t) {
    errno = EIO;
    return -1;
}

TEST(ReadAhead, AnswersInAnyOrderLooksUpOnlyAndPassesErrorsOn) {
    TempDir dir;
    const std::string a = randomBytes(100000, 1), b = randomBytes(5000, 2);
    const std::string pa = dir.write("a", a), pb = dir.write("b", b);
    ReadAhead reads(4, 6, kContentChunkSize);
    const auto tailOfA = reads.ask(pa, 70000, kContentChunkSize);
    const auto probeOfB = reads.ask(pb, 0, 4096);
    const auto missing = reads.ask(dir.path() + "/none", 0, 4096);
    const auto lookUp = reads.ask(pa, 0, 0);
    {
        const auto& answer = reads.wait(probeOfB);
        ASSERT_TRUE(answer.opened);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data), answer.length), b.substr(0, 4096));
        EXPECT_EQ(answer.stat.size, 5000u);
    }
    {
        // From its offset to the file's end, shorter than asked.
        const auto& answer = reads.wait(tailOfA);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data), answer.length), a.substr(70000));
    }
    EXPECT_FALSE(reads.wait(missing).opened);
    EXPECT_TRUE(reads.wait(lookUp).opened);
    EXPECT_EQ(reads.wait(lookUp).length, 0u);
    for (auto t : {tailOfA, probeOfB, missing, lookUp}) reads.release(t);

    // A read error in a reader reaches the one who waits, as the error it raised.
    EXPECT_FALSE(reads.full());
    ReadAhead failingReads(1, 1, kContentChunkSize, &failingRead);
    const auto failing = failingReads.ask(pa, 0, 4096);
    EXPECT_THROW(failingReads.wait(failing), InOutError);
    failingReads.release(failing);
}

// The threads that made each read, for telling the readers' reads from the asker's own.
std::mutex readersMutex;
std::vector<std::thread::id> readingThreads;
std::vector<std::size_t> readCounts;   // the count each read asked for
ssize_t recordingRead(int fd, void* buffer, std::size_t count) {
    {
        std::lock_guard lock(readersMutex);
        readingThreads.push_back(std::this_thread::get_id());
        readCounts.push_back(count);
    }
    return ::read(fd, buffer, count);
}

std::size_t readsSoFar() {
    std::lock_guard lock(readersMutex);
    return readingThreads.size();
}

TEST(ReadAhead, ReadersNotServingLeaveReadsAloneUntilToldToServe) {
    TempDir dir;
    const std::string small = randomBytes(3000, 3), large = randomBytes(kContentChunkSize, 4);
    const std::string ps = dir.write("small", small), pl = dir.write("large", large);
    readingThreads.clear();
    ReadAhead reads(2, 1, kContentChunkSize, &recordingRead);
    reads.setServing(0);
    const auto probe = reads.ask(ps, 0, 4096);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(readsSoFar(), 0u) << "a reader not serving read";

    reads.setServing(2);
    for (int i = 0; i < 500 && readsSoFar() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(readsSoFar(), 1u) << "no reader woke to serve";
    EXPECT_NE(readingThreads[0], std::this_thread::get_id());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reads.wait(probe).data), reads.wait(probe).length), small);
    reads.release(probe);

    // The same slot, which held a small probe, takes a whole chunk next.
    const auto chunk = reads.ask(pl, 0, kContentChunkSize);
    const auto& answer = reads.wait(chunk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(answer.data), answer.length), large);
    reads.release(chunk);
}

// Of an odd batch the reader takes the larger half: it reads while the asker reads the rest.
TEST(ReadAhead, AReaderWakesForABatchTakesItsFarHalfAndLeavesTheRestToTheAsker) {
    TempDir dir;
    std::vector<std::string> paths;
    for (const std::size_t size : {1000u, 2000u, 3000u, 4000u, 5000u})
        paths.push_back(dir.write("f" + std::to_string(size), randomBytes(size, 9)));
    for (const std::size_t n : {4u, 5u}) {
        {
            std::lock_guard lock(readersMutex);
            readingThreads.clear();
            readCounts.clear();
        }
        ReadAhead reads(1, 8, kContentChunkSize, &recordingRead);
        reads.setServing(1, static_cast<unsigned>(n));
        std::vector<ReadAhead::Ticket> tickets;
        for (std::size_t i = 0; i + 1 < n; ++i) tickets.push_back(reads.ask(paths[i], 0, 1000 * (i + 1)));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(readsSoFar(), 0u) << "a reader woke before a batch was asked";
        tickets.push_back(reads.ask(paths[n - 1], 0, 1000 * n));
        const std::size_t farHalf = (n + 1) / 2;
        for (int i = 0; i < 300 && readsSoFar() < farHalf; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // The reader took the last asked, from the third on; the first two are read here
        // when waited for.
        for (std::size_t i = 0; i < n; ++i) {
            const auto& answer = reads.wait(tickets[i]);
            EXPECT_EQ(answer.length, 1000 * (i + 1));
        }
        std::lock_guard lock(readersMutex);
        ASSERT_EQ(readCounts.size(), n);
        for (std::size_t k = 0; k < n; ++k) {
            const bool byReader = readingThreads[k] != std::this_thread::get_id();
            EXPECT_EQ(byReader, readCounts[k] >= 3000) << "the read of " << readCounts[k] << " bytes of " << n;
        }
        for (const auto t : tickets) reads.release(t);
    }
}

// A read that holds on a latch once told to, until the latch opens.
std::atomic<bool> holdNextRead = false, readHeld = false, latchOpen = false;
ssize_t latchedRead(int fd, void* buffer, std::size_t count) {
    if (holdNextRead.exchange(false)) {
        readHeld = true;
        while (!latchOpen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::read(fd, buffer, count);
}

TEST(ReadAhead, ASlotReleasedWhileItsReadRunsAnswersItsNextFileRight) {
    TempDir dir;
    const std::string first = randomBytes(20000, 5), second = randomBytes(20000, 6);
    const std::string p1 = dir.write("first", first), p2 = dir.write("second", second);
    holdNextRead = true;
    readHeld = latchOpen = false;
    ReadAhead reads(1, 1, kContentChunkSize, &latchedRead);
    reads.setServing(1);
    const auto ticket = reads.ask(p1, 0, first.size());
    while (!readHeld) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The reader is inside the first file's read: let it go only once the slot was released
    // and very likely asked again.
    std::thread opener([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        latchOpen = true;
    });
    reads.release(ticket);
    ASSERT_FALSE(reads.full());
    const auto again = reads.ask(p2, 0, second.size());
    const auto& answer = reads.wait(again);
    // The answer holds until released, also once the first read has surely ended.
    opener.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(answer.length, second.size());
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(answer.data), answer.length) == second)
        << "the slot holds another file's bytes";
    reads.release(again);
    EXPECT_EQ(reads.slotsAsked(), 0u);
}

TEST(ReadAheadDeathTest, MisusesEndTheProgramWhereChecksAreOn) {
#ifdef NDEBUG
    GTEST_SKIP() << "checks are on in the sanitizer builds only";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.write("f", "bytes");
    EXPECT_DEATH(
        {
            ReadAhead reads(1, 1, 4096);
            reads.release(reads.ask(path, 0, 5));
            reads.release(0);
        },
        "released twice");
    EXPECT_DEATH(
        {
            ReadAhead reads(1, 1, 4096);
            reads.ask(path, 0, 5);
            reads.ask(path, 0, 5);
        },
        "asked when full");
    EXPECT_DEATH(
        {
            ReadAhead reads(1, 1, 4096);
            reads.release(reads.ask(path, 0, 5));
            reads.wait(0);
        },
        "after its release");
#endif
}

}  // namespace
}  // namespace parelix::test
