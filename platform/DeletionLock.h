#pragma once
// One deletion at a time for a user, across every Parelix process: an advisory lock (flock)
// on one file of the user's, held from a deletion's first check to the end of its move, so
// that two windows never each take one of the last two copies: the second one's check reads
// the disk once the first one's move is over.
#include <functional>
#include <string>

namespace parelix {

// The file the user's processes lock: parelix-deletion.lock in $XDG_RUNTIME_DIR, or
// .parelix-deletion.lock in the home folder when there is no runtime folder.
std::string deletionLockPath();

// Held for its scope. Taken on the window's thread; within one process a hold taken inside
// another shares it (a second lock of the same file would wait for itself).
class DeletionLock {
public:
    // Locks the file at path, made if need be; an empty path locks nothing. While another
    // process holds it, tries again every few milliseconds, calling wait() before each pause
    // (the window's event turn: it stays painted); when wait answers false it gives up.
    DeletionLock(const std::string& path, const std::function<bool()>& wait);
    ~DeletionLock();
    DeletionLock(const DeletionLock&) = delete;
    DeletionLock& operator=(const DeletionLock&) = delete;

    // False only when wait gave up. A lock file that cannot be opened locks nothing: the
    // deletion goes on as if alone, its own checks still made.
    bool acquired() const { return acquired_; }

private:
    bool acquired_ = true;
    bool counted_ = false;   // this hold counts in the process's depth
};

}  // namespace parelix
