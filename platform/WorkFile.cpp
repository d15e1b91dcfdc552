#include "platform/WorkFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Drives.h"

namespace parelix {

namespace {

// Codes of the runtime for misuse of a file rather than a system failure.
constexpr int kNotOpen = 103;
constexpr int kReadPastEnd = 100;
constexpr int kDiskFull = 101;
constexpr int kAccessDenied = 5;
constexpr int kNotFound = 2;

// Buffered records reach the disk in pieces of about this size.
constexpr std::size_t kWriteChunk = 64 * 1024;
// A write that begins or ends inside a page of the page cache makes the kernel take that
// page twice: writes end on a page boundary where the file offset is known.
constexpr std::uint64_t kPage = 4096;

std::string posixName(const std::string& name, const DriveTable* drives) {
    if (name.empty() || !drives) raiseInOutError(kNotFound);
    auto path = drives->toPosix(name);
    if (!path) raiseInOutError(kNotFound);
    return *path;
}

[[noreturn]] void raiseErrno(int err) { raiseInOutError(inOutCodeFromErrno(err)); }

}  // namespace

std::string inOutErrorText(int code) {
    switch (code) {
        case 2: return "Fichier introuvable";
        case 5: return "Accès au fichier refusé";
        case 100: return "Lecture au-delà de la fin de fichier";
        case 101: return "Disque plein";
        default: return "Erreur E/S " + std::to_string(code);
    }
}

int inOutCodeFromErrno(int err) {
    switch (err) {
        case ENOENT: return kNotFound;
        case EACCES:
        case EPERM: return kAccessDenied;
        case ENOSPC:
        case EDQUOT: return kDiskFull;
        // These errno values coincide with codes that carry their own text; they get
        // the codes the runtime gives the same failures, so no message lies.
        case EIO: return 1117;             // device input/output error
        case EMFILE:
        case ENFILE: return 4;             // too many open files
        case ENOMEM: return 8;             // not enough memory
        case ENETDOWN:
        case ENETUNREACH: return 59;       // unexpected network error
        default: return err;
    }
}

void raiseInOutError(int code) { throw InOutError(code, inOutErrorText(code)); }

namespace {

// Where the new contents go: a symbolic link is followed, so that the file it names is
// replaced and the link stays. Raises for what is no regular file: a folder (21, as the
// open would), a FIFO, a device or a socket (kNotRegularFile), before anything is opened.
std::string replacedPath(const std::string& posixPath) {
    struct stat st {};
    if (::stat(posixPath.c_str(), &st) != 0) return posixPath;   // nothing there yet, or a dangling link
    if (S_ISDIR(st.st_mode)) raiseErrno(EISDIR);
    if (!S_ISREG(st.st_mode)) raiseInOutError(kNotRegularFile);
    char* real = ::realpath(posixPath.c_str(), nullptr);
    if (!real) return posixPath;
    std::string out(real);
    std::free(real);
    return out;
}

int writeAll(int fd, std::string_view content) {
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The new file takes the old one's mode and, where the process may, its owner; a new name
// gets what a plain creation would have given it.
void takeModeOf(int fd, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        (void)!::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

}  // namespace

void writeWholeFile(const std::string& posixPath, std::string_view content) {
    const std::string target = replacedPath(posixPath);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    // Hidden beside it, its name cut so that the suffix fits in a name's 255 bytes.
    const std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, 200);
    std::string temporary = (slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1)) + "." +
                            name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) raiseErrno(errno);
    int err = writeAll(fd, content);
    if (err == 0) takeModeOf(fd, target);
    // A full disk or a lost network share may answer only here.
    if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
    // Only a whole file takes the old one's place; until then the old one is as it was.
    if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temporary.c_str());
        raiseErrno(err);
    }
    // The rename itself reaches the disk with its folder.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

WorkFile::~WorkFile() {
    if (fd_ < 0) return;
    try {
        flush();
    } catch (const InOutError&) {
        // Nobody is left to tell: close() is where a failure is reported.
    }
    ::close(fd_);
    fd_ = -1;
}

void WorkFile::assign(const std::string& name, const DriveTable& drives) {
    if (fd_ >= 0) close();
    name_ = name;
    drives_ = &drives;
}

void WorkFile::rewrite(std::size_t recordSize) {
    if (fd_ >= 0) close();
    const std::string path = posixName(name_, drives_);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) raiseErrno(errno);
    fd_ = fd;
    writable_ = true;
    recordSize_ = std::max<std::size_t>(recordSize, 1);
    writeBuffer_.clear();
    writeAt_ = 0;
}

void WorkFile::reset(std::size_t recordSize) {
    if (fd_ >= 0) close();
    const std::string path = posixName(name_, drives_);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) raiseErrno(errno);
    fd_ = fd;
    writable_ = false;
    recordSize_ = std::max<std::size_t>(recordSize, 1);
    writeBuffer_.clear();
    writeAt_ = -1;
}

void WorkFile::flush() {
    if (!writeBuffer_.empty()) writeOut(nullptr, 0, writeBuffer_.size());
}

// Writes the first `now` bytes of the buffered ones followed by `more` (which are not copied),
// and buffers what is left of them.
void WorkFile::writeOut(const char* more, std::size_t moreBytes, std::size_t now) {
    const std::size_t pending = writeBuffer_.size();
    const std::size_t fromBuffer = std::min(now, pending);
    iovec parts[2] = {{writeBuffer_.data(), fromBuffer},
                      {const_cast<char*>(more), now - fromBuffer}};
    iovec* part = parts;
    int partsLeft = 2;
    std::size_t left = now;
    while (left > 0) {
        while (part->iov_len == 0) {
            ++part;
            --partsLeft;
        }
        const ssize_t n = ::writev(fd_, part, partsLeft);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            // What could not be written is dropped: the error tells the caller the file is bad.
            writeBuffer_.clear();
            writeAt_ = -1;
            raiseErrno(err);
        }
        left -= static_cast<std::size_t>(n);
        if (writeAt_ >= 0) writeAt_ += n;
        for (auto done = static_cast<std::size_t>(n); done > 0;) {
            const std::size_t step = std::min(done, part->iov_len);
            part->iov_base = static_cast<char*>(part->iov_base) + step;
            part->iov_len -= step;
            done -= step;
            if (part->iov_len == 0 && done > 0) {
                ++part;
                --partsLeft;
            }
        }
    }
    writeBuffer_.erase(0, fromBuffer);
    const std::size_t fromMore = now - fromBuffer;
    if (fromMore < moreBytes) writeBuffer_.append(more + fromMore, moreBytes - fromMore);
}

std::size_t WorkFile::readBytes(char* buffer, std::size_t wanted) {
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd_, buffer + got, wanted - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno(errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::size_t WorkFile::blockRead(void* buffer, std::size_t count) {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    flush();
    writeAt_ = -1;
    const std::size_t got = readBytes(static_cast<char*>(buffer), count * recordSize_);
    // A piece of a record at the end is not a record: stay on the record boundary.
    if (const std::size_t partial = got % recordSize_; partial != 0)
        if (::lseek(fd_, -static_cast<off_t>(partial), SEEK_CUR) < 0) raiseErrno(errno);
    return got / recordSize_;
}

void WorkFile::read(void* record) {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    flush();
    writeAt_ = -1;
    const std::size_t got = readBytes(static_cast<char*>(record), recordSize_);
    if (got != recordSize_) {
        if (got > 0) ::lseek(fd_, -static_cast<off_t>(got), SEEK_CUR);
        raiseInOutError(kReadPastEnd);
    }
}

void WorkFile::readAt(std::int64_t recordNumber, void* record) {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    flush();
    if (recordNumber < 0) raiseErrno(EINVAL);
    const off_t at = static_cast<off_t>(recordNumber) * static_cast<off_t>(recordSize_);
    std::size_t got = 0;
    while (got < recordSize_) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(record) + got, recordSize_ - got,
                                  at + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno(errno);
        if (n == 0) raiseInOutError(kReadPastEnd);
        got += static_cast<std::size_t>(n);
    }
}

void WorkFile::write(const void* record) { blockWrite(record, 1); }

void WorkFile::blockWrite(const void* buffer, std::size_t count) {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    if (!writable_) raiseInOutError(kAccessDenied);
    const char* bytes = static_cast<const char*>(buffer);
    const std::size_t length = count * recordSize_;
    const std::size_t total = writeBuffer_.size() + length;
    if (total < kWriteChunk) {
        writeBuffer_.append(bytes, length);
        return;
    }
    // The buffered bytes and the new ones leave in one call, the new ones straight from the
    // caller's memory, up to the last page boundary; the few after it wait for the next.
    std::size_t now = total;
    if (writeAt_ >= 0) {
        const std::size_t past = static_cast<std::size_t>((static_cast<std::uint64_t>(writeAt_) + total) % kPage);
        if (past < total) now = total - past;
    }
    writeOut(bytes, length, now);
}

void WorkFile::seek(std::int64_t recordNumber) {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    flush();
    if (recordNumber < 0) raiseErrno(EINVAL);
    writeAt_ = -1;
    if (::lseek(fd_, static_cast<off_t>(recordNumber) * static_cast<off_t>(recordSize_), SEEK_SET) < 0)
        raiseErrno(errno);
    writeAt_ = static_cast<std::int64_t>(recordNumber) * static_cast<std::int64_t>(recordSize_);
}

std::int64_t WorkFile::fileSize() {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    flush();
    struct stat st;
    if (::fstat(fd_, &st) != 0) raiseErrno(errno);
    return static_cast<std::int64_t>(st.st_size) / static_cast<std::int64_t>(recordSize_);
}

void WorkFile::close() {
    if (fd_ < 0) raiseInOutError(kNotOpen);
    try {
        flush();
    } catch (const InOutError&) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) raiseErrno(errno);
}

void WorkFile::erase() {
    if (fd_ >= 0) close();
    const std::string path = posixName(name_, drives_);
    if (::unlink(path.c_str()) != 0) raiseErrno(errno);
}

void WorkFile::rename(const std::string& newName) {
    if (fd_ >= 0) close();
    const std::string from = posixName(name_, drives_);
    const std::string to = posixName(newName, drives_);
    // Never replaces a file, as the program's file model expects: a name in use is an error.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        const int err = errno;
        if (err != EINVAL && err != ENOSYS) raiseErrno(err);
        // The file system cannot refuse by itself: check first.
        struct stat st;
        if (::lstat(to.c_str(), &st) == 0) raiseErrno(EEXIST);
        if (::rename(from.c_str(), to.c_str()) != 0) raiseErrno(errno);
    }
    name_ = newName;
}

}  // namespace parelix
