#include "platform/DeletionLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace parelix {

namespace {

constexpr long kRetryNanoseconds = 10'000'000;   // 10 ms between tries

// The process's hold: the lock file's descriptor and how many holds share it.
int heldFd = -1;
int holdDepth = 0;
// The process went without a lock file once already, and said so.
bool toldWithout = false;

bool isFolder(const char* path) {
    struct stat st {};
    return path && *path == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The lock file at path, opened, when it can serve: a regular file (never a link, a FIFO or
// a device), this user's, which no other user may open, and so lock for ever. -1 otherwise.
int openLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

enum class Try { Locked, Busy, Unusable };

Try tryLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Try::Locked;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Try::Busy : Try::Unusable;   // a file system without locks
    }
}

}  // namespace

std::vector<std::string> deletionLockPaths() {
    std::vector<std::string> paths;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); isFolder(runtime))
        paths.push_back(std::string(runtime) + "/parelix-deletion.lock");
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h == '/') home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    if (!home.empty()) paths.push_back(home + (home.back() == '/' ? "" : "/") + ".parelix-deletion.lock");
    return paths;
}

DeletionLock::DeletionLock(const std::vector<std::string>& paths, const std::function<bool()>& wait) {
    if (holdDepth > 0) {
        ++holdDepth;
        counted_ = true;
        return;
    }
    if (paths.empty()) return;   // nothing to lock: no recycle bin
    int fd = -1;
    Try state = Try::Unusable;
    for (const std::string& path : paths) {
        fd = openLockFile(path);
        if (fd < 0) continue;
        state = tryLock(fd);
        if (state != Try::Unusable) break;
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        without_ = true;
        firstWithout_ = !toldWithout;
        toldWithout = true;
        return;
    }
    while (state == Try::Busy) {
        if (wait && !wait()) {
            ::close(fd);
            acquired_ = false;
            return;
        }
        const timespec pause{0, kRetryNanoseconds};
        ::nanosleep(&pause, nullptr);
        state = tryLock(fd);
    }
    if (state == Try::Unusable) {   // the file system stopped locking meanwhile
        ::close(fd);
        without_ = true;
        return;
    }
    toldWithout = false;
    heldFd = fd;
    holdDepth = 1;
    counted_ = true;
}

DeletionLock::~DeletionLock() {
    if (!counted_ || --holdDepth > 0) return;
    ::flock(heldFd, LOCK_UN);
    ::close(heldFd);
    heldFd = -1;
}

}  // namespace parelix
