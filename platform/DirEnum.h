#pragma once
// Directory enumeration by pattern and attribute mask (first, next, close).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

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
// holding a backslash, hidden mount points and trash folders are never listed. A folder
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

}  // namespace parelix
