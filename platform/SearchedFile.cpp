#include "platform/SearchedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/FolderHandles.h"
#include "platform/WorkFile.h"

namespace parelix {

namespace {

FileStat statOf(const struct stat& st) {
    FileStat s;
    s.identity.device = static_cast<std::uint64_t>(st.st_dev);
    s.identity.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

// The path names the file held open: the same identity, and the same version of it.
bool namesHeldFile(const std::string& posixPath, const FileStat& held) {
    const std::optional<FileStat> now = statRegularFile(posixPath);
    return now && now->sameVersion(held);
}

}  // namespace

std::optional<FileStat> statRegularFile(const std::string& posixPath) {
    struct stat st {};
    if (posixPath.empty() || ::stat(posixPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return statOf(st);
}

bool pathExists(const std::string& posixPath) {
    struct stat st {};
    return !posixPath.empty() && ::lstat(posixPath.c_str(), &st) == 0;
}

bool lacksResources(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM; }

bool SearchedFile::open(const std::string& posixPath, ReadCall readCall, FolderHandles* folders) {
    close();
    openError_ = 0;
    read_ = readCall;
    if (posixPath.empty()) return false;
    offset_ = 0;
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    fd_ = folders ? folders->open(posixPath, kFlags) : ::open(posixPath.c_str(), kFlags);
    if (fd_ < 0) {
        openError_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return false;
    }
    stat_ = statOf(st);
    return true;
}

std::size_t SearchedFile::readChunk(std::uint8_t* buffer, std::size_t capacity) {
    std::size_t got = 0;
    while (got < capacity) {
        const ssize_t n = read_(fd_, buffer + got, capacity - got);
        if (n == 0) break;
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            offset_ += static_cast<std::uint64_t>(n);
            // At the size the file had when opened it ends; asking again only to be told so
            // would cost a second read for every small file.
            if (offset_ == stat_.size) break;
        } else if (errno == EAGAIN) {
            // O_NONBLOCK only kept a FIFO from blocking the open; a file that honours it
            // is read blocking.
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        } else if (errno != EINTR) {
            raiseInOutError(inOutCodeFromErrno(errno));
        }
    }
    return got;
}

std::optional<std::size_t> SearchedFile::readChunkIfCached(std::uint8_t* buffer, std::size_t capacity) {
    // A replaced read call (short reads, errors) must see every read.
    if (read_ != &::read) return std::nullopt;
    iovec io{buffer, capacity};
    ssize_t n;
    // At the descriptor's own position (-1), which it moves: the reads that follow go on from it.
    do n = ::preadv2(fd_, &io, 1, -1, RWF_NOWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0) return std::nullopt;   // EAGAIN: on disk only; EOPNOTSUPP: cannot tell
    const auto got = static_cast<std::size_t>(n);
    offset_ += got;
    if (got == capacity || offset_ >= stat_.size || got == 0) return got;
    // Part of it was in memory: the rest is read as any chunk is.
    return got + readChunk(buffer + got, capacity - got);
}

std::optional<FileStat> SearchedFile::statNow() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
    return statOf(st);
}

bool SearchedFile::seek(std::uint64_t offset) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
    offset_ = offset;
    return true;
}

void SearchedFile::readSequentially() {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void SearchedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

ContentMatch compareHeldFiles(const std::string& firstPosix, const std::string& secondPosix,
                              const std::function<bool()>& turn, ReadCall readCall) {
    SearchedFile first, second;
    if (!first.open(firstPosix, readCall)) return ContentMatch::FirstUnreadable;
    if (!second.open(secondPosix, readCall)) return ContentMatch::SecondUnreadable;
    // Opened, then the paths asked: a file swapped in before the open is not the one held.
    const FileStat firstAtStart = first.stat();
    const FileStat secondAtStart = second.stat();
    if (!namesHeldFile(firstPosix, firstAtStart) || !namesHeldFile(secondPosix, secondAtStart))
        return ContentMatch::Different;
    if (firstAtStart.size != secondAtStart.size) return ContentMatch::Different;
    auto a = std::make_unique<std::uint8_t[]>(kContentChunkSize);
    auto b = std::make_unique<std::uint8_t[]>(kContentChunkSize);
    try {
        for (;;) {
            if (turn && !turn()) return ContentMatch::Interrupted;
            const std::size_t n1 = first.readChunk(a.get(), kContentChunkSize);
            const std::size_t n2 = second.readChunk(b.get(), kContentChunkSize);
            if (n1 != n2 || std::memcmp(a.get(), b.get(), n1) != 0) return ContentMatch::Different;
            if (n1 < kContentChunkSize) break;
        }
    } catch (const InOutError&) {
        return ContentMatch::Different;
    }
    const std::optional<FileStat> firstAtEnd = first.statNow();
    const std::optional<FileStat> secondAtEnd = second.statNow();
    if (!firstAtEnd || !firstAtEnd->sameVersion(firstAtStart)) return ContentMatch::Different;
    if (!secondAtEnd || !secondAtEnd->sameVersion(secondAtStart)) return ContentMatch::Different;
    if (!namesHeldFile(firstPosix, firstAtStart) || !namesHeldFile(secondPosix, secondAtStart))
        return ContentMatch::Different;
    return ContentMatch::Same;
}

}  // namespace parelix
