#include "platform/FolderHandles.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>

namespace parelix {

namespace {

// The folder itself or one below it. Folders side by side differ most often at their ends:
// the last character tells most of them apart before the whole is compared.
bool covers(std::string_view held, std::string_view folder) {
    return folder.size() >= held.size() && !held.empty() && folder[held.size() - 1] == held.back() &&
           (folder.size() == held.size() || folder[held.size()] == '/') && folder.compare(0, held.size(), held) == 0;
}

// A coarse clock is enough for how long a folder is trusted, and costs next to nothing.
FolderHandles::Clock::time_point nowCoarse() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return FolderHandles::Clock::time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
}

// The deepest folder above or at both.
std::string_view commonFolder(std::string_view a, std::string_view b) {
    if (covers(a, b)) return a;
    if (covers(b, a)) return b;
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const std::size_t cut = a.substr(0, static_cast<std::size_t>(ia - a.begin())).rfind('/');
    return cut == std::string_view::npos ? std::string_view() : a.substr(0, cut);
}

bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

}  // namespace

FolderHandles::FolderHandles(std::size_t capacity, Clock::duration trustFor) : capacity_(capacity), trustFor_(trustFor) {
    // Other opens of the process, on any thread, must find descriptors left.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        capacity_ = std::min<std::size_t>(capacity_, static_cast<std::size_t>(limit.rlim_cur / 16));
}

FolderHandles::~FolderHandles() {
    for (const auto& e : entries_) ::close(e->fd);
}

std::size_t FolderHandles::held() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return !e->retired; }));
}

void FolderHandles::retire(Entry* entry) {
    entry->retired = true;
    if (last_ == entry) last_ = nullptr;
    if (entry->users > 0) return;
    ::close(entry->fd);
    std::erase_if(entries_, [&](const auto& e) { return e.get() == entry; });
}

void FolderHandles::shed() {
    std::lock_guard lock(mutex_);
    std::vector<Entry*> all;
    for (const auto& e : entries_)
        if (!e->retired) all.push_back(e.get());
    for (Entry* e : all) retire(e);
}

FolderHandles::Entry* FolderHandles::find(std::string_view folder, Clock::time_point now) {
    for (;;) {
        Entry* best = nullptr;
        for (const auto& e : entries_)
            if (!e->retired && covers(e->path, folder) && (!best || e->path.size() > best->path.size()))
                best = e.get();
        if (!best || now - best->checked < trustFor_) return best;
        struct stat st {};
        if (::stat(best->path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == best->device &&
            static_cast<std::uint64_t>(st.st_ino) == best->inode) {
            best->checked = now;
            return best;
        }
        // Renamed or replaced since: its path names another folder, or none.
        retire(best);
    }
}

FolderHandles::Entry* FolderHandles::admit(std::string_view folder, Clock::time_point now, const Entry* keep) {
    std::size_t live = 0;
    Entry* oldest = nullptr;
    for (const auto& e : entries_) {
        if (e->retired) continue;
        ++live;
        if (e.get() != keep && (!oldest || e->lastUse < oldest->lastUse)) oldest = e.get();
    }
    if (live >= capacity_) {
        if (!oldest) return nullptr;
        retire(oldest);
    }
    auto entry = std::make_unique<Entry>();
    entry->path.assign(folder);
    // As the whole path's open would: symbolic links on the way are followed.
    entry->fd = ::open(entry->path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (entry->fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(entry->fd, &st) != 0) {
        ::close(entry->fd);
        return nullptr;
    }
    entry->device = static_cast<std::uint64_t>(st.st_dev);
    entry->inode = static_cast<std::uint64_t>(st.st_ino);
    entry->checked = now;
    entries_.push_back(std::move(entry));
    return entries_.back().get();
}

void FolderHandles::release(Entry* entry) {
    std::lock_guard lock(mutex_);
    if (--entry->users == 0 && entry->retired) retire(entry);
}

int FolderHandles::openWhole(const std::string& posixPath, int flags) {
    int fd = ::open(posixPath.c_str(), flags);
    if (fd < 0 && outOfDescriptors(errno) && held() > 0) {
        shed();
        fd = ::open(posixPath.c_str(), flags);
    }
    return fd;
}

int FolderHandles::open(const std::string& posixPath, int flags) {
    const std::size_t slash = posixPath.rfind('/');
    if (capacity_ == 0 || slash == std::string::npos || slash == 0 || posixPath.front() != '/')
        return openWhole(posixPath, flags);
    const std::string_view folder(posixPath.data(), slash);
    Entry* entry = nullptr;
    {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = nowCoarse();
        if (last_ && folder == previous_ && last_->path.size() == folder.size() && !last_->retired &&
            now - last_->checked < trustFor_) {
            // In the folder of the last open, which is held.
            entry = last_;
        } else {
            entry = find(folder, now);
            const std::string_view common = commonFolder(folder, previous_);
            if ((!entry || entry->path.size() < common.size()) && common.size() > 1 && common == previousCommon_) {
                if (Entry* added = admit(common, now, entry)) entry = added;
            }
            previousCommon_.assign(common);
            previous_.assign(folder);
            last_ = entry;
        }
        if (entry) {
            ++entry->users;
            entry->lastUse = ++uses_;
        }
    }
    if (!entry) return openWhole(posixPath, flags);
    // The path and descriptor of an entry never change, and it stays open while used.
    const int fd = ::openat(entry->fd, posixPath.c_str() + entry->path.size() + 1, flags);
    release(entry);
    if (fd >= 0) return fd;
    return openWhole(posixPath, flags);
}

}  // namespace parelix
