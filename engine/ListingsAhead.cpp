#include "engine/ListingsAhead.h"

#include <cassert>
#include <new>
#include <system_error>
#include <utility>

namespace parelix {

namespace {

std::atomic<unsigned> runningHelpers{0};
std::atomic<std::uint64_t> helperListingsTaken{0};

}  // namespace

unsigned ListingsAhead::helpersRunning() { return runningHelpers.load(); }
std::uint64_t ListingsAhead::takenFromHelper() { return helperListingsTaken.load(); }

ListingsAhead::ListingsAhead(const DriveTable& drives, Plan plan) : drives_(drives), plan_(std::move(plan)) {}

ListingsAhead::~ListingsAhead() { stop(); }

void ListingsAhead::begin(std::vector<std::string> roots, bool helper) {
    assert(!helper_.joinable() && ready_.empty() && pending_.empty());
    entered_.clear();
    alone_ = !helper;
    if (!helper) return;
    pending_.emplace_back(roots.begin(), roots.end());
    stopping_ = false;
    ++runningHelpers;
    try {
        helper_ = std::thread([this] { helperLoop(); });
    } catch (const std::system_error&) {
        // No thread to be had: the walk lists alone, as it would on a busy machine.
        --runningHelpers;
        alone_ = true;
        pending_.clear();
    }
}

void ListingsAhead::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        alone_ = true;
        pending_.clear();
        for (const auto& [path, early] : early_) entriesAhead_ -= early.listing.entries.size();
        early_.clear();
    }
    helperWake_.notify_one();
    if (helper_.joinable()) {
        helper_.join();
        --runningHelpers;
    }
}

bool ListingsAhead::windowFull() const {
    return ready_.size() + early_.size() >= kFoldersAhead || entriesAhead_ >= kEntriesAhead;
}

std::string* ListingsAhead::nextToList() {
    while (!pending_.empty() && pending_.back().empty()) pending_.pop_back();
    return pending_.empty() ? nullptr : &pending_.back().front();
}

void ListingsAhead::publish(std::string path, FolderListing listing, bool byHelper) {
    Ready ready{std::move(path), {std::move(listing), false}, byHelper};
    const FolderListing& l = ready.taken.listing;
    if (!l.wantedResources) {
        ready.taken.enteredBefore = l.identity && !entered_.insert(*l.identity).second;
        if (!ready.taken.enteredBefore) {
            std::vector<std::string> subfolders;
            plan_(ready.path, l, subfolders);
            if (!subfolders.empty())
                pending_.emplace_back(std::make_move_iterator(subfolders.begin()), std::make_move_iterator(subfolders.end()));
        }
    }
    entriesAhead_ += l.entries.size();
    ready_.push_back(std::move(ready));
}

void ListingsAhead::catchUp() {
    while (inOrder_ == Lister::None) {
        std::string* next = nextToList();
        if (!next) return;
        const auto it = early_.find(*next);
        if (it == early_.end()) return;
        std::string path = std::move(*next);
        pending_.back().pop_front();
        Early early = std::move(it->second);
        early_.erase(it);
        entriesAhead_ -= early.listing.entries.size();
        publish(std::move(path), std::move(early.listing), early.byHelper);
    }
}

bool ListingsAhead::readEarly(std::unique_lock<std::mutex>& lock, bool byHelper) {
    if (windowFull()) return false;
    // The first known folder nobody reads, among the nearest few: further on, what is read
    // would wait long for its turn.
    constexpr std::size_t kLook = 32;
    const std::string* chosen = nullptr;
    std::size_t looked = 0;
    for (auto level = pending_.rbegin(); level != pending_.rend() && !chosen && looked < kLook; ++level)
        for (const std::string& path : *level) {
            if (++looked > kLook) break;
            if (!early_.count(path) && !readingEarly_.count(path)) {
                chosen = &path;
                break;
            }
        }
    if (!chosen) return false;
    std::string path = *chosen;
    readingEarly_.insert(path);
    lock.unlock();
    FolderListing listing;
    bool listed = true;
    try {
        listing = listFolder(drives_, path + '\\', byHelper ? &stopping_ : nullptr);
    } catch (const std::bad_alloc&) {
        listed = false;
    }
    lock.lock();
    readingEarly_.erase(path);
    // A listing cut short or short of descriptors or memory is read again in its turn, and
    // meets the shortage then if it is real.
    if (listed && !listing.abandoned && !listing.wantedResources && !alone_) {
        entriesAhead_ += listing.entries.size();
        early_.emplace(std::move(path), Early{std::move(listing), byHelper});
        catchUp();
    }
    return true;
}

ListingsAhead::Taken ListingsAhead::listAlone(const std::string& path) {
    Taken taken{listFolder(drives_, path + '\\'), false};
    if (!taken.listing.wantedResources && taken.listing.identity)
        taken.enteredBefore = !entered_.insert(*taken.listing.identity).second;
    return taken;
}

std::optional<ListingsAhead::Taken> ListingsAhead::takeReady(std::unique_lock<std::mutex>& lock,
                                                             const std::string& path) {
    Ready front = std::move(ready_.front());
    ready_.pop_front();
    entriesAhead_ -= front.taken.listing.entries.size();
    if (front.path == path) {
        // Woken again only once half the window is free: one wake-up for many folders.
        if (helperWaiting_ && helperFull_ && ready_.size() + early_.size() <= kFoldersAhead / 2 &&
            entriesAhead_ <= kEntriesAhead / 2)
            helperWake_.notify_one();
        if (front.byHelper) ++helperListingsTaken;
        return std::move(front.taken);
    }
    // Not the folder the walk enters: the two orders parted, which the plan rules out.
    // The walk goes on alone, as if these listings had never been read.
    assert(!"a listing read ahead is not the walk's next folder");
    lock.unlock();
    stop();
    lock.lock();
    if (front.taken.listing.identity && !front.taken.enteredBefore) entered_.erase(*front.taken.listing.identity);
    for (const Ready& r : ready_)
        if (r.taken.listing.identity && !r.taken.enteredBefore) entered_.erase(*r.taken.listing.identity);
    ready_.clear();
    entriesAhead_ = 0;
    return std::nullopt;
}

bool ListingsAhead::listInTurn(std::unique_lock<std::mutex>& lock, const std::string& path) {
    catchUp();
    if (!ready_.empty()) return true;
    std::string* next = nextToList();
    if (!next || *next != path) {
        assert(!"the walk enters a folder the plan does not know");
        lock.unlock();
        stop();
        lock.lock();
        return true;
    }
    // Nobody reads it: the walk does not wait for a helper that has not started, it lists
    // the folder itself.
    if (readingEarly_.count(path)) return false;
    std::string claimed = std::move(*next);
    pending_.back().pop_front();
    inOrder_ = Lister::Walk;
    lock.unlock();
    FolderListing listing = listFolder(drives_, claimed + '\\');
    lock.lock();
    inOrder_ = Lister::None;
    publish(std::move(claimed), std::move(listing), false);
    catchUp();
    // The helper may go on with the folders after it.
    if (helperWaiting_) helperWake_.notify_one();
    return true;
}

ListingsAhead::Taken ListingsAhead::take(const std::string& path) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!ready_.empty()) {
            if (std::optional<Taken> taken = takeReady(lock, path)) return std::move(*taken);
            continue;
        }
        if (alone_) return listAlone(path);
        if (inOrder_ == Lister::None && listInTurn(lock, path)) continue;
        // The helper reads this folder: rather than wait, the walk reads one further ahead.
        if (readEarly(lock, false)) {
            if (helperWaiting_ && !helperFull_) helperWake_.notify_one();
            continue;
        }
        walkWaiting_ = true;
        walkWake_.wait(lock);
        walkWaiting_ = false;
    }
}

void ListingsAhead::helperLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        catchUp();
        helperFull_ = windowFull();
        if (!helperFull_) {
            std::string* next = inOrder_ == Lister::None ? nextToList() : nullptr;
            if (next && !readingEarly_.count(*next)) {
                std::string path = std::move(*next);
                pending_.back().pop_front();
                inOrder_ = Lister::Helper;
                lock.unlock();
                FolderListing listing;
                bool listed = true;
                try {
                    listing = listFolder(drives_, path + '\\', &stopping_);
                } catch (const std::bad_alloc&) {
                    listed = false;
                }
                lock.lock();
                inOrder_ = Lister::None;
                // A listing cut short, or one that wanted descriptors or memory (perhaps only
                // for this thread's own), is left to the walk, which lists the folder itself
                // when it gets there, and meets the shortage then if it is real; this thread
                // ends.
                if (!listed || listing.abandoned || listing.wantedResources) {
                    if (!pending_.empty()) pending_.back().push_front(std::move(path));
                    stopping_ = true;
                } else {
                    publish(std::move(path), std::move(listing), true);
                    catchUp();
                }
                if (walkWaiting_) walkWake_.notify_one();
                continue;
            }
            if (readEarly(lock, true)) {
                if (walkWaiting_) walkWake_.notify_one();
                continue;
            }
        }
        helperWaiting_ = true;
        helperWake_.wait(lock);
        helperWaiting_ = false;
    }
}

}  // namespace parelix
