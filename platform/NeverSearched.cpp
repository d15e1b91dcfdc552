#include "platform/NeverSearched.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "platform/Drives.h"

namespace parelix {

namespace {

constexpr std::string_view kPseudoFileSystems[] = {
    "proc",       "sysfs",     "devtmpfs",        "devpts",      "cgroup",     "cgroup2",
    "securityfs", "debugfs",   "tracefs",         "pstore",      "bpf",        "mqueue",
    "hugetlbfs",  "configfs",  "fusectl",         "binfmt_misc", "autofs",     "efivarfs",
    "rpc_pipefs", "nsfs",      "selinuxfs",       "smackfs",     "apparmorfs", "xenfs",
    "nfsd",       "ipathfs",   "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "usbfs",
    "cpuset",
};

// An entry as the walk builds paths: no trailing backslash ("X:\" is "X:").
std::string withoutBackslash(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

// True when path is the entry itself or lies below it, component by component and byte for
// byte: C:\ab is not below C:\a.
bool atOrBelow(std::string_view path, std::string_view entry) {
    return path.size() >= entry.size() && path.compare(0, entry.size(), entry) == 0 &&
           (path.size() == entry.size() || path[entry.size()] == '\\');
}

}  // namespace

bool isPseudoFileSystem(std::string_view fsType) {
    return std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), fsType) !=
           std::end(kPseudoFileSystems);
}

std::vector<std::string> unlistedNamesIn(const DriveTable& drives, std::string_view posixFolder) {
    std::string prefix(posixFolder);
    while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
    prefix.push_back('/');
    std::vector<std::string> names;
    // Sorted, so the mount points below this folder stand together.
    const std::vector<std::string>& points = drives.hiddenMountPoints();
    for (auto it = std::lower_bound(points.begin(), points.end(), prefix);
         it != points.end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::string_view name = std::string_view(*it).substr(prefix.size());
        if (!name.empty() && name.find('/') == std::string_view::npos) names.emplace_back(name);
    }
    return names;
}

NeverSearched::NeverSearched(const DriveTable& drives, const std::vector<std::string>& exclusions)
    : NeverSearched(drives, exclusions, TrashFolders::now()) {}

NeverSearched::NeverSearched(const DriveTable& drives, const std::vector<std::string>& exclusions, TrashFolders trash)
    : drives_(drives), trash_(std::move(trash)) {
    for (const std::string& entry : exclusions) {
        std::string path = withoutBackslash(entry);
        if (path.empty()) continue;
        skipInside(path);
        exclusions_.push_back(std::move(path));
    }
    // As the walk names them: a trash folder the drive table cannot name lies on no drive.
    for (const std::string& folder : trash_.folders())
        if (const std::optional<std::string> windows = drives_.toWindows(folder)) skipInside(*windows);
}

// The walk meets a path's last name in its folder's listing: it is filed there. A drive's
// top has no folder to be listed in: it only ever holds search paths.
void NeverSearched::skipInside(const std::string& windowsPath) {
    const std::size_t cut = windowsPath.find_last_of('\\');
    if (cut == std::string::npos || cut + 1 >= windowsPath.size()) return;
    std::vector<std::string>& names = names_[windowsPath.substr(0, cut)];
    std::string name = windowsPath.substr(cut + 1);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

NeverSearched::Reason NeverSearched::skipped(std::string_view searchPath) const {
    const std::string path = withoutBackslash(searchPath);
    for (const std::string& exclusion : exclusions_)
        if (atOrBelow(path, exclusion)) return Reason::Excluded;
    const std::optional<std::string> posix = drives_.toPosix(path);
    if (posix && trash_.insideTrash(*posix)) return Reason::Trash;
    return Reason::None;
}

const std::vector<std::string>* NeverSearched::skippedIn(const std::string& folder) const {
    const auto it = names_.find(folder);
    return it == names_.end() ? nullptr : &it->second;
}

}  // namespace parelix
