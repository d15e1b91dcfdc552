// Reading searched files: a read that takes only what is in memory, and the readers that
// serve reads asked ahead.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

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
ssize_t recordingRead(int fd, void* buffer, std::size_t count) {
    {
        std::lock_guard lock(readersMutex);
        readingThreads.push_back(std::this_thread::get_id());
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

}  // namespace
}  // namespace parelix::test
