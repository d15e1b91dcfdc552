#pragma once
// Reading the user's files: opening one read-only, its identity (device and inode), and
// reading it chunk by chunk. Paths here are POSIX paths; callers map Windows-style ones
// through DriveTable first.
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace parelix {

class FolderHandles;

// The chunk the content compare reads at a time (the size of a block buffer).
constexpr std::size_t kContentChunkSize = 65528;

// Device and inode: two paths with the same identity name one file (hard links, bind mounts).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// Identity and size of a regular file, from stat; nullopt when the path names none. The
// modification and change times (nanoseconds) tell whether the file was written since.
struct FileStat {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    // The same file, not written, truncated or replaced in between.
    bool sameVersion(const FileStat& other) const {
        return identity == other.identity && size == other.size && modified == other.modified &&
               changed == other.changed;
    }
};
std::optional<FileStat> statRegularFile(const std::string& posixPath);
// True when anything at all is at the path (a dangling symbolic link included), from lstat.
bool pathExists(const std::string& posixPath);

// The system's error means it lacked descriptors or memory (EMFILE, ENFILE, ENOMEM): the
// process's shortage, not the state of the file or folder asked for.
bool lacksResources(int error);

// The read system call, or a stand-in that reads short (tests); PlatformServices carries it.
using ReadCall = ssize_t (*)(int fd, void* buffer, std::size_t count);

// A searched file opened read-only; closed on every way out.
class SearchedFile {
public:
    SearchedFile() = default;
    ~SearchedFile() { close(); }
    SearchedFile(const SearchedFile&) = delete;
    SearchedFile& operator=(const SearchedFile&) = delete;

    // Only regular files open: a path that became a FIFO or a folder since it was listed is
    // as good as unreadable (the open does not block on a FIFO). Its chunks are read
    // through `readCall`; it is opened through `folders` when given.
    bool open(const std::string& posixPath, ReadCall readCall = &::read, FolderHandles* folders = nullptr);
    bool isOpen() const { return fd_ >= 0; }
    // The system's error when the last open failed (once the held folders were let go, if
    // that was tried), 0 when it did not or when the path named no regular file.
    int openError() const { return openError_; }
    const FileStat& stat() const { return stat_; }
    // The open file as it is now (fstat); nullopt when it cannot be asked.
    std::optional<FileStat> statNow() const;

    // Fills the buffer up to `capacity` bytes, reading until it is full or the file ends (at
    // the size it had when opened, or earlier if it shrank): a short read in mid-file
    // (network and FUSE file systems) is followed by another. Returns the count; a read
    // error raises InOutError.
    std::size_t readChunk(std::uint8_t* buffer, std::size_t capacity);
    // The same, only when the bytes are already in memory (the system's page cache): nullopt
    // when reading them would wait for the disk, or when that cannot be known. Nothing is
    // read then.
    std::optional<std::size_t> readChunkIfCached(std::uint8_t* buffer, std::size_t capacity);
    // Reading goes on from this byte; false when the file cannot be positioned there.
    bool seek(std::uint64_t offset);
    // The file will be read on to its end: the system may read further ahead.
    void readSequentially();
    void close();

private:
    int fd_ = -1;
    int openError_ = 0;
    ReadCall read_ = &::read;
    std::uint64_t offset_ = 0;
    FileStat stat_;
};

// Outcome of comparing two files' contents byte by byte. Interrupted: the caller's turn
// ended the comparison before its end.
enum class ContentMatch { Same, Different, FirstUnreadable, SecondUnreadable, Interrupted };

// Reads both files through to the end in chunks of kContentChunkSize; Same only when every
// pair of chunks read the same count and the same bytes (a read error counts as Different),
// and made so that no change to either file can slip through: both are held open from before
// the first chunk to after the last, each path must name the file held both
// at the start and at the end, and each file's identity, size, modification and change times
// must be the same after the last chunk as before the first; otherwise Different. Between
// chunks turn() is called (event turns of a window); when it answers false the comparison
// ends at once as Interrupted.
ContentMatch compareHeldFiles(const std::string& firstPosix, const std::string& secondPosix,
                              const std::function<bool()>& turn, ReadCall readCall = &::read);

}  // namespace parelix
