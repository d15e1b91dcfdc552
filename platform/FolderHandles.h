#pragma once
// Descriptors held on a few folders above the files being read, so that a file opens
// relative to the deepest of them (openat) and the system walks only the rest of its path:
// for a small file in memory, walking a long path costs about as much as reading it.
// Shared by the threads that read; a folder let go while another thread opens through it is
// closed once that open is done.
//
// A folder is held once three opens in a row fall under it (the folder of a run of files,
// or the one that a crowd of folders shares): files met in a scattered order never pay for
// holding folders they will not come back to. What a held folder opens is what its path
// named when last looked at; that is looked at again once it is older than `trustFor`, and
// a folder renamed or replaced by then is let go.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace parelix {

class FolderHandles {
public:
    using Clock = std::chrono::steady_clock;

    // At most `capacity` folders, and never more than a sixteenth of the descriptors the
    // process may open.
    explicit FolderHandles(std::size_t capacity = 16,
                           Clock::duration trustFor = std::chrono::milliseconds(100));
    ~FolderHandles();
    FolderHandles(const FolderHandles&) = delete;
    FolderHandles& operator=(const FolderHandles&) = delete;

    // As open(2) of the absolute path with `flags` (relative to a held folder when one lies
    // above it): the descriptor, or -1 with errno set. Whatever fails through a held folder
    // is tried again by the whole path, and an open refused for want of descriptors is tried
    // again once the folders not in use are let go.
    int open(const std::string& posixPath, int flags);
    // Lets go of every folder, now or once the open through it is done.
    void shed();
    // Folders held now.
    std::size_t held() const;

private:
    struct Entry {
        std::string path;   // no trailing slash
        int fd = -1;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        Clock::time_point checked;   // when its path last named it
        std::uint64_t lastUse = 0;
        unsigned users = 0;          // opens through it under way
        bool retired = false;        // let go: closed once its last user is done
    };
    Entry* find(std::string_view folder, Clock::time_point now);   // under mutex_
    // Under mutex_: holds the folder, letting go of the one least recently used but `keep`.
    Entry* admit(std::string_view folder, Clock::time_point now, const Entry* keep);
    void retire(Entry* entry);                                      // under mutex_
    void release(Entry* entry);
    int openWhole(const std::string& posixPath, int flags);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::string previous_;         // the folder of the last open
    std::string previousCommon_;   // the deepest folder above it and the one before
    Entry* last_ = nullptr;        // what the last open went through
    std::uint64_t uses_ = 0;
    std::size_t capacity_;
    Clock::duration trustFor_;
};

}  // namespace parelix
