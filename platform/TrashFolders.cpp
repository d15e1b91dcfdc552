#include "platform/TrashFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

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

// Listings name folders by their real path: a data folder reached through a symbolic link
// is taken where it really lies.
std::string realFolder(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    return withoutTrailingSlashes(path);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return {};
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

TrashFolders TrashFolders::ofThisUser(const std::vector<std::string>& mountPoints) {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else if (const std::string home = homeFolder(); !home.empty()) {
        data = below(withoutTrailingSlashes(home), ".local/share");
    }
    return TrashFolders(data.empty() ? std::string() : below(realFolder(data), "Trash"), mountPoints,
                        static_cast<unsigned>(getuid()));
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

bool insideTrash(const DriveTable& drives, std::string_view windowsPath) {
    const std::optional<std::string> posix = drives.toPosix(windowsPath);
    return posix && drives.trashFolders().insideTrash(*posix);
}

}  // namespace parelix
