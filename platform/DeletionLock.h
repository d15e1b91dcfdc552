#pragma once
// One deletion at a time for a user, across every Parelix process: an advisory lock (flock)
// on one file of the user's, held from a deletion's first check to the end of its move, so
// that two windows never each take one of the last two copies: the second one's check reads
// the disk once the first one's move is over.
#include <functional>
#include <string>
#include <vector>

namespace parelix {

// The files the user's processes lock, the first usable one of them: parelix-deletion.lock
// in $XDG_RUNTIME_DIR when there is one, then .parelix-deletion.lock in the home folder.
std::vector<std::string> deletionLockPaths();

// Held for its scope. Taken on the window's thread; within one process a hold taken inside
// another shares it (a second lock of the same file would wait for itself).
class DeletionLock {
public:
    // Locks the first of `paths` that can be used: a regular file of this user's that nobody
    // else may open (made if need be, never through a symbolic link), on a file system that
    // locks. While another process holds it, tries again every few milliseconds, calling
    // wait() before each pause (the window's event turn: it stays painted, and Escape may
    // give the wait up); when wait answers false it gives up.
    DeletionLock(const std::vector<std::string>& paths, const std::function<bool()>& wait);
    ~DeletionLock();
    DeletionLock(const DeletionLock&) = delete;
    DeletionLock& operator=(const DeletionLock&) = delete;

    // False only when wait gave up: nothing is held then.
    bool acquired() const { return acquired_; }
    // True when none of the files could be used: the deletion goes on as if alone (its own
    // checks still made), and the first such deletion of the process says so.
    bool withoutLockFile() const { return without_; }
    bool firstWithoutLockFile() const { return firstWithout_; }

private:
    bool acquired_ = true;
    bool counted_ = false;   // this hold counts in the process's depth
    bool without_ = false;
    bool firstWithout_ = false;
};

}  // namespace parelix
