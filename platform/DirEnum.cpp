#include "platform/DirEnum.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Drives.h"
#include "platform/NeverSearched.h"

namespace parelix {

struct DirEnumerator::State {
    DIR* dir = nullptr;
    int fd = -1;
    std::uint32_t mask = faAnyFile;
    std::string pattern;          // empty: every name
    std::vector<std::string> hiddenNames;
    int dotsLeft = 2;             // "." then ".." come before the folder's own entries
    struct stat self {};
    bool selfKnown = false;
    struct stat parent {};
    bool parentKnown = false;

    ~State() {
        if (dir) closedir(dir);
    }
};

namespace {

void fillFromStat(FindData& out, const struct stat& st) {
    out.device = static_cast<std::uint64_t>(st.st_dev);
    out.inode = static_cast<std::uint64_t>(st.st_ino);
}

std::uint32_t commonAttributes(const char* name, const struct stat& st) {
    std::uint32_t attributes = 0;
    if (name[0] == '.' && !(name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        attributes |= faHidden;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= faReadOnly;
    return attributes;
}

bool isAllPattern(std::string_view p) { return p == "*.*" || p == "*" || p.empty(); }

}  // namespace

DirEnumerator::DirEnumerator(const DriveTable& drives) : drives_(drives) {}
DirEnumerator::~DirEnumerator() = default;

bool DirEnumerator::findFirst(const std::string& pattern, std::uint32_t attributeMask,
                              FindData& out) {
    findClose();
    openError_ = 0;
    const std::size_t cut = pattern.find_last_of('\\');
    if (cut == std::string::npos) return false;
    const DriveTable& drives = drives_;
    const auto folder = drives.toPosix(std::string_view(pattern).substr(0, cut + 1));
    if (!folder) return false;

    const int fd = open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        openError_ = errno;
        return false;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        openError_ = errno;
        close(fd);
        return false;
    }
    auto state = std::make_unique<State>();
    state->dir = dir;
    state->fd = fd;
    state->mask = attributeMask;
    const std::string_view name = std::string_view(pattern).substr(cut + 1);
    if (!isAllPattern(name)) state->pattern.assign(name);
    state->hiddenNames = unlistedNamesIn(drives, *folder);
    state->selfKnown = fstat(fd, &state->self) == 0;
    state->parentKnown = fstatat(fd, "..", &state->parent, AT_SYMLINK_NOFOLLOW) == 0;
    state_ = std::move(state);

    if (findNext(out)) return true;
    findClose();
    return false;
}

bool DirEnumerator::findNext(FindData& out) {
    State* s = state_.get();
    if (!s) return false;

    const bool wantDirs = (s->mask & faDirectory) != 0;
    while (s->dotsLeft > 0) {
        const bool first = s->dotsLeft-- == 2;
        if (!wantDirs || !s->pattern.empty()) continue;
        if (!first && !s->parentKnown) continue;
        const struct stat& st = first ? s->self : s->parent;
        out.name = first ? "." : "..";
        out.attributes = faDirectory | commonAttributes(out.name.c_str(), st);
        out.size = 0;
        fillFromStat(out, st);
        return true;
    }

    while (const dirent* e = readdir(s->dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        // Whatever the entry is, the file-system type tells enough to skip it unread.
        switch (e->d_type) {
            case DT_LNK: case DT_CHR: case DT_BLK: case DT_FIFO: case DT_SOCK: continue;
            case DT_DIR: if (!wantDirs) continue; break;
            default: break;
        }
        if (!s->pattern.empty() && fnmatch(s->pattern.c_str(), name, FNM_NOESCAPE) != 0) continue;
        const bool unnameable = std::strchr(name, '\\') != nullptr;
        if (unnameable && !onUnnameable) continue;

        struct stat st;
        if (fstatat(s->fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;   // gone since
        if (unnameable) {
            if ((S_ISDIR(st.st_mode) && wantDirs) || S_ISREG(st.st_mode)) onUnnameable(name, S_ISDIR(st.st_mode));
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (!wantDirs) continue;
            if (!s->hiddenNames.empty() &&
                std::find(s->hiddenNames.begin(), s->hiddenNames.end(), name) != s->hiddenNames.end())
                continue;
            out.attributes = faDirectory;
            out.size = 0;
        } else if (S_ISREG(st.st_mode)) {
            out.attributes = faArchive;
            out.size = static_cast<std::uint64_t>(st.st_size);
        } else {
            continue;
        }
        out.attributes |= commonAttributes(name, st);
        out.name.assign(name);
        fillFromStat(out, st);
        return true;
    }
    return false;
}

void DirEnumerator::findClose() { state_.reset(); }

bool DirEnumerator::wantedResources() const { return lacksResources(openError_); }

std::optional<FileIdentity> DirEnumerator::folderIdentity() const {
    if (!state_ || !state_->selfKnown) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(state_->self.st_dev),
                        static_cast<std::uint64_t>(state_->self.st_ino)};
}

FolderListing listFolder(const DriveTable& drives, const std::string& folder, const std::atomic<bool>* abandon) {
    FolderListing out;
    DirEnumerator listing(drives);
    listing.onUnnameable = [&](const std::string& name, bool isFolder) {
        out.entries.push_back({name, isFolder ? std::uint32_t{faDirectory} : 0u, 0, true});
    };
    FindData found;
    bool more = listing.findFirst(folder + "*.*", faAnyFile, found);
    out.openError = listing.openError();
    out.wantedResources = listing.wantedResources();
    out.identity = listing.folderIdentity();
    // How often a listing looks whether it is still wanted.
    constexpr std::size_t kLookEvery = 256;
    for (std::size_t n = 1; more; more = listing.findNext(found), ++n) {
        if (abandon && n % kLookEvery == 0 && abandon->load(std::memory_order_relaxed)) {
            out.abandoned = true;
            break;
        }
        if (found.name == "." || found.name == "..") continue;
        out.entries.push_back({std::move(found.name), found.attributes, found.size, false});
    }
    return out;
}

}  // namespace parelix
