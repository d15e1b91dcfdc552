#include "platform/TrashFolders.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/Drives.h"

namespace parelix {

namespace {

// "/a//b/./c/../d/" as "/a/b/d": the components the system would walk, symbolic links aside.
std::string lexical(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        std::size_t j = i;
        while (j < path.size() && path[j] != '/') ++j;
        const std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j;
    }
    std::string out;
    for (const std::string_view part : parts) {
        out.push_back('/');
        out.append(part);
    }
    return out.empty() ? "/" : out;
}

// True when path is base itself or lies below it (both lexical).
bool atOrBelow(std::string_view path, std::string_view base) {
    if (base == "/") return true;
    if (path.size() < base.size() || path.compare(0, base.size(), base) != 0) return false;
    return path.size() == base.size() || path[base.size()] == '/';
}

std::string joined(std::string_view base, std::string_view name) {
    std::string out(base);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::optional<std::string> resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string out(real);
    std::free(real);
    return out;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/";
}

// $XDG_DATA_HOME/Trash; a relative XDG_DATA_HOME is ignored, as the freedesktop rules say.
std::string homeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string base = data && *data == '/' ? std::string(data) : homeFolder() + "/.local/share";
    return lexical(base + "/Trash");
}

// The mount points, read again only when the system says the table changed (the mount
// table's poll wakes with POLLPRI after every mount and unmount): a walk asks for each folder.
class MountWatch {
public:
    std::vector<std::string> mountPoints() {
        const std::lock_guard<std::mutex> guard(mutex_);
        if (fd_ < 0) {
            fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
            reread();
        } else {
            pollfd p{fd_, POLLPRI, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR))) reread();
        }
        return points_;
    }

private:
    void reread() {
        points_ = {"/"};   // without a table, the root at least
        if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return;
        std::string text;
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        for (const MountEntry& m : parseMountInfo(text)) points_.push_back(lexical(m.mountPoint));
    }

    std::mutex mutex_;
    int fd_ = -1;
    std::vector<std::string> points_;
};

MountWatch& mountWatch() {
    static MountWatch* watch = new MountWatch;   // never destroyed: asked until the very end
    return *watch;
}

}  // namespace

bool insideTrashFolder(std::string_view posixPath, const std::vector<std::string>& mountPoints,
                       std::string_view homeTrash, unsigned uid) {
    const std::string path = lexical(posixPath);
    if (!homeTrash.empty() && atOrBelow(path, lexical(homeTrash))) return true;
    const std::string id = std::to_string(uid);
    for (const std::string& mount : mountPoints) {
        const std::string top = lexical(mount);
        if (!atOrBelow(path, top)) continue;
        if (atOrBelow(path, joined(top, ".Trash/" + id)) || atOrBelow(path, joined(top, ".Trash-" + id))) return true;
    }
    return false;
}

bool insideTrashFolder(const std::string& posixPath) {
    if (posixPath.empty()) return false;
    const std::vector<std::string> mounts = mountWatch().mountPoints();
    const unsigned uid = ::getuid();
    const std::string homeTrash = homeTrashFolder();
    // The home trash itself may be reached through a link (~/.local/share on another disk).
    const std::optional<std::string> realHomeTrash = resolved(homeTrash);
    const auto inside = [&](const std::string& path) {
        return insideTrashFolder(path, mounts, homeTrash, uid) ||
               (realHomeTrash && insideTrashFolder(path, mounts, *realHomeTrash, uid));
    };
    if (inside(posixPath)) return true;
    const std::optional<std::string> real = resolved(posixPath);
    return real && inside(*real);
}

}  // namespace parelix
