#pragma once
// Directory enumeration by pattern and attribute mask (first, next, close).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SearchedFile.h"

namespace parelix {

class DriveTable;

enum FileAttributes : std::uint32_t {
    faReadOnly = 1,
    faHidden = 2,
    faSysFile = 4,
    faVolumeID = 8,
    faDirectory = 16,
    faArchive = 32,
    faAnyFile = 63,
};

struct FindData {
    std::string name;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;   // 64 bits; callers keep what they need
    // Identity of the entry (st_dev, st_ino), for callers that must tell two paths of one file apart.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Lists a folder given as a Windows-style pattern ending in "\*.*": "." and "..", then
// directories and regular files only. Symbolic links, devices, FIFOs, sockets, names
// holding a backslash and the mount points no listing shows (NeverSearched.h) are never
// listed; trash folders are, as every hidden folder (the walk leaves them out). A folder
// that cannot be opened lists nothing.
class DirEnumerator {
public:
    // Windows-style patterns name folders over the drive table, which must outlive the listing.
    explicit DirEnumerator(const DriveTable& drives);
    ~DirEnumerator();
    DirEnumerator(const DirEnumerator&) = delete;
    DirEnumerator& operator=(const DirEnumerator&) = delete;

    bool findFirst(const std::string& pattern, std::uint32_t attributeMask, FindData& out);
    bool findNext(FindData& out);
    void findClose();
    // Device and inode of the folder being listed, taken from the opened folder itself (a
    // path swapped meanwhile cannot mislead); nullopt when no listing is open.
    std::optional<FileIdentity> folderIdentity() const;
    // True when the last findFirst could not open its folder for want of descriptors or
    // memory: the system's shortage, not the folder's state. openError() is the system's
    // error of the last findFirst that could not open its folder, else 0.
    bool wantedResources() const;
    int openError() const { return openError_; }

    // Called, when set, for each folder or regular file the listing leaves out because its
    // name holds a backslash, which no Windows-style path can name.
    std::function<void(const std::string& name, bool folder)> onUnnameable;

private:
    struct State;
    const DriveTable& drives_;
    std::unique_ptr<State> state_;
    int openError_ = 0;
};

// One entry of a folder read whole.
struct ListedEntry {
    std::string name;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    // A folder or regular file whose name holds a backslash: met, to be reported, never
    // collected (faDirectory tells which).
    bool unnameable = false;
};

// A folder read whole, as DirEnumerator lists it with "*.*" and every attribute, so that one
// thread may read it and another walk it later.
struct FolderListing {
    std::vector<ListedEntry> entries;   // in the system's order, "." and ".." left out
    std::optional<FileIdentity> identity;   // of the folder opened; none when it could not be
    int openError = 0;   // as DirEnumerator::openError
    bool wantedResources = false;   // as DirEnumerator::wantedResources
    bool abandoned = false;   // cut short by `abandon`: not the whole folder
};

// Reads the folder (Windows-style, ending with a backslash) whole and closes it. A raised
// `abandon` cuts the reading short.
FolderListing listFolder(const DriveTable& drives, const std::string& folder,
                         const std::atomic<bool>* abandon = nullptr);

}  // namespace parelix
