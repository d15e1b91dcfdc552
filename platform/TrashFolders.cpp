#include "platform/TrashFolders.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/Drives.h"

namespace parelix {

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string below(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return {};
}

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

std::optional<std::string> resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string out(real);
    std::free(real);
    return out;
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

TrashFolders::TrashFolders(const std::string& homeTrash, const std::vector<std::string>& mountPoints,
                           unsigned uid) {
    if (!homeTrash.empty()) folders_.push_back(withoutTrailingSlashes(homeTrash));
    const std::string id = std::to_string(uid);
    for (const std::string& point : mountPoints) {
        if (point.empty() || point[0] != '/') continue;
        const std::string top = withoutTrailingSlashes(point);
        folders_.push_back(below(top, ".Trash-" + id));
        folders_.push_back(below(top, ".Trash/" + id));
    }
    std::sort(folders_.begin(), folders_.end());
    folders_.erase(std::unique(folders_.begin(), folders_.end()), folders_.end());
}

TrashFolders TrashFolders::now() {
    const std::vector<std::string> mounts = mountWatch().mountPoints();   // already lexical
    const unsigned uid = ::getuid();
    const std::string homeTrash = homeTrashFolder();
    TrashFolders folders(homeTrash, mounts, uid);
    // The home trash itself may be reached through a link (~/.local/share on another disk):
    // both of its names count.
    if (const std::optional<std::string> real = resolved(homeTrash); real && *real != homeTrash) {
        folders.folders_.push_back(*real);
        std::sort(folders.folders_.begin(), folders.folders_.end());
    }
    return folders;
}

bool TrashFolders::insideTrash(std::string_view posixPath) const {
    while (posixPath.size() > 1 && posixPath.back() == '/') posixPath.remove_suffix(1);
    for (const std::string& folder : folders_)
        if (posixPath.size() >= folder.size() && posixPath.compare(0, folder.size(), folder) == 0 &&
            (posixPath.size() == folder.size() || posixPath[folder.size()] == '/'))
            return true;
    return false;
}

void TrashFolders::namesIn(std::string_view posixDir, std::vector<std::string>& out) const {
    std::string prefix = withoutTrailingSlashes(std::string(posixDir));
    if (prefix != "/") prefix.push_back('/');
    // Sorted, so the folders below this one stand together.
    for (auto it = std::lower_bound(folders_.begin(), folders_.end(), prefix);
         it != folders_.end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::string_view name = std::string_view(*it).substr(prefix.size());
        if (!name.empty() && name.find('/') == std::string_view::npos) out.emplace_back(name);
    }
}

bool insideTrashFolder(std::string_view posixPath, const std::vector<std::string>& mountPoints,
                       std::string_view homeTrash, unsigned uid) {
    std::vector<std::string> tops;
    tops.reserve(mountPoints.size());
    for (const std::string& mount : mountPoints) tops.push_back(lexical(mount));
    const TrashFolders folders(homeTrash.empty() ? std::string() : lexical(homeTrash), tops, uid);
    return folders.insideTrash(lexical(posixPath));
}

bool insideTrashFolder(const std::string& posixPath) {
    if (posixPath.empty()) return false;
    const TrashFolders folders = TrashFolders::now();
    if (folders.insideTrash(lexical(posixPath))) return true;
    const std::optional<std::string> target = resolved(posixPath);
    return target && folders.insideTrash(lexical(*target));
}

}  // namespace parelix
