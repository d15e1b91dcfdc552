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

bool isFolder(const char* path) {
    struct stat st {};
    return path && *path == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string deletionLockPath() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); isFolder(runtime))
        return std::string(runtime) + "/parelix-deletion.lock";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h == '/') home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    if (home.empty()) return {};
    return home + (home.back() == '/' ? "" : "/") + ".parelix-deletion.lock";
}

DeletionLock::DeletionLock(const std::string& path, const std::function<bool()>& wait) {
    if (holdDepth > 0) {
        ++holdDepth;
        counted_ = true;
        return;
    }
    if (path.empty()) return;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        const int err = errno;
        if (err == EINTR) continue;
        if (err != EWOULDBLOCK) {   // a file system without locks: nothing to hold
            ::close(fd);
            return;
        }
        if (wait && !wait()) {
            ::close(fd);
            acquired_ = false;
            return;
        }
        const timespec pause{0, kRetryNanoseconds};
        ::nanosleep(&pause, nullptr);
    }
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
