#include "platform/TrashRestore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>


namespace parelix {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string nameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::optional<struct stat> lstatOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return st;
}

std::int64_t modifiedOf(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

// The top of the file system that holds the folder: the last folder up on the same device.
std::string mountTop(const std::string& folder) {
    const std::optional<struct stat> self = lstatOf(folder);
    if (!self) return "/";
    std::string top = folder;
    while (top != "/") {
        const std::string up = folderOf(top);
        const std::optional<struct stat> st = lstatOf(up);
        if (!st || st->st_dev != self->st_dev) break;
        top = up;
    }
    return top;
}

// The bins a move of a file in that folder may have used: the home trash, and the two of the
// top of its file system.
std::vector<std::string> binsFor(const std::string& folder) {
    std::vector<std::string> bins;
    // The home trash where the desktop keeps it: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash.
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && data[0] == '/') bins.push_back(std::string(data) + "/Trash");
    else if (home && home[0] == '/') bins.push_back(std::string(home) + "/.local/share/Trash");
    const std::string top = mountTop(folder);
    const std::string uid = std::to_string(::getuid());
    const std::string base = top == "/" ? std::string() : top;
    bins.push_back(base + "/.Trash/" + uid);
    bins.push_back(base + "/.Trash-" + uid);
    return bins;
}

// The Path value of a .trashinfo, as written; none without one.
std::optional<std::string> pathLineOf(const std::string& infoFile) {
    std::ifstream in(infoFile);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Path=", 0) == 0) return line.substr(5);
    return std::nullopt;
}

// The bin escapes names as URIs do: "%20" for a space.
std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The name the bin gives the n-th item of that name: the name itself, then ".2", ".3" and so
// on before its first dot.
std::string binName(const std::string& name, int n) {
    if (n == 1) return name;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return name + "." + std::to_string(n);
    return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

// The entry of the bin named entryName, when it is the item of that identity.
std::optional<TrashedItem> itemAt(const std::string& bin, const std::string& entryName, const std::string& original,
                                  const FileIdentity& identity) {
    const std::string inBin = bin + "/files/" + entryName;
    const std::optional<struct stat> st = lstatOf(inBin);
    if (!st || st->st_dev != identity.device || st->st_ino != identity.inode) return std::nullopt;
    TrashedItem item;
    item.original = original;
    item.inBin = inBin;
    item.info = bin + "/info/" + entryName + ".trashinfo";
    item.pathLine = pathLineOf(item.info).value_or("");
    item.identity = identity;
    item.folder = S_ISDIR(st->st_mode);
    item.size = item.folder ? 0 : static_cast<std::uint64_t>(st->st_size);
    item.modified = modifiedOf(*st);
    return item;
}

// The item in one bin: first the names the bin gives in turn (a walk of thousands of files
// would read the whole bin once a file otherwise), then any entry that starts as its name.
std::optional<TrashedItem> findIn(const std::string& bin, const std::string& original, const FileIdentity& identity) {
    const std::string name = nameOf(original);
    for (int n = 1;; ++n) {
        const std::string entryName = binName(name, n);
        if (std::optional<TrashedItem> item = itemAt(bin, entryName, original, identity)) return item;
        if (!lstatOf(bin + "/info/" + entryName + ".trashinfo")) break;   // the bin would have taken this one
    }
    const std::string stem = name.substr(0, name.find('.'));
    DIR* dir = ::opendir((bin + "/files").c_str());
    if (!dir) return std::nullopt;
    std::optional<TrashedItem> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName.rfind(stem, 0) != 0 || entryName == "." || entryName == "..") continue;
        if ((found = itemAt(bin, entryName, original, identity))) break;
    }
    ::closedir(dir);
    return found;
}

RestoreResult outcome(RestoreOutcome o, std::string reason = {}) { return {o, std::move(reason)}; }

RestoreResult fromErrno(int err) {
    if (err == ENOSPC || err == EDQUOT) return outcome(RestoreOutcome::DiskFull);
    return outcome(RestoreOutcome::Failed, std::strerror(err));
}

// What stands at the place: nothing, a folder, or anything else.
RestoreResult placeTakenBy(const std::string& place) {
    const std::optional<struct stat> st = lstatOf(place);
    if (!st) return outcome(RestoreOutcome::Restored);
    return outcome(S_ISDIR(st->st_mode) ? RestoreOutcome::PlaceFolder : RestoreOutcome::PlaceTaken);
}

// Makes the missing folders above the place, outermost first, noting them in made.
RestoreResult makeFolders(const std::string& folder, std::vector<std::string>& made) {
    std::vector<std::string> missing;
    std::string f = folder;
    for (;;) {
        const std::optional<struct stat> st = lstatOf(f);
        if (st && S_ISDIR(st->st_mode)) break;
        if (st) return outcome(RestoreOutcome::PlaceFolder);   // a file where a folder of the place was
        missing.push_back(f);
        if (f == "/") break;
        f = folderOf(f);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0) return fromErrno(errno);
        made.push_back(*it);
    }
    return outcome(RestoreOutcome::Restored);
}

// The move itself, which never replaces: a rename told not to, or, where the file system
// cannot, a second name made for the file (refused when taken) and the first one dropped.
RestoreResult moveBack(const TrashedItem& item) {
    if (::renameat2(AT_FDCWD, item.inBin.c_str(), AT_FDCWD, item.original.c_str(), RENAME_NOREPLACE) == 0)
        return outcome(RestoreOutcome::Restored);
    int err = errno;
    if ((err == EINVAL || err == ENOSYS) && !item.folder) {
        if (::link(item.inBin.c_str(), item.original.c_str()) == 0) {
            ::unlink(item.inBin.c_str());
            return outcome(RestoreOutcome::Restored);
        }
        err = errno;
    }
    if (err == EEXIST || err == ENOTEMPTY) {
        const RestoreResult taken = placeTakenBy(item.original);
        if (taken.outcome != RestoreOutcome::Restored) return taken;
    }
    return fromErrno(err);
}

}  // namespace

std::optional<TrashedItem> findTrashedItem(const std::string& posixPath, const FileIdentity& identity) {
    for (const std::string& bin : binsFor(folderOf(posixPath)))
        if (std::optional<TrashedItem> item = findIn(bin, posixPath, identity)) return item;
    return std::nullopt;
}

RestoreResult restoreTrashedItem(const TrashedItem& item) {
    const std::optional<struct stat> st = lstatOf(item.inBin);
    if (!st) return outcome(RestoreOutcome::NotInBin);
    const bool folder = S_ISDIR(st->st_mode);
    if (st->st_dev != item.identity.device || st->st_ino != item.identity.inode || folder != item.folder ||
        modifiedOf(*st) != item.modified || (!folder && static_cast<std::uint64_t>(st->st_size) != item.size))
        return outcome(RestoreOutcome::Changed);
    // The bin's record must still name the place: a name it rewrote could send the item elsewhere.
    const std::optional<std::string> line = pathLineOf(item.info);
    if (!line || *line != item.pathLine || nameOf(unescaped(*line)) != nameOf(item.original))
        return outcome(RestoreOutcome::Mangled);

    RestoreResult taken = placeTakenBy(item.original);
    if (taken.outcome != RestoreOutcome::Restored) return taken;
    std::vector<std::string> made;
    RestoreResult result = makeFolders(folderOf(item.original), made);
    if (result.outcome == RestoreOutcome::Restored) result = moveBack(item);
    if (result.outcome != RestoreOutcome::Restored) {
        for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
        return result;
    }
    ::unlink(item.info.c_str());
    return result;
}

}  // namespace parelix
