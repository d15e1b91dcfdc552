#include "engine/CompareParts.h"

#include <algorithm>
#include <utility>

#include "engine/Records.h"
#include "platform/Drives.h"
#include "platform/Processors.h"
#include "platform/Text.h"

namespace parelix {

DirectoryPaths::Slot& DirectoryPaths::slot(std::uint32_t index) {
    // Files of one size lie in folders all over the tree: a cache that holds few folders
    // reads the directory list again for most files. Direct-mapped, so a hit costs one
    // comparison.
    if (slots_.empty()) slots_.resize(kSlots);
    Slot& slot = slots_[index % kSlots];
    if (slot.index != index) {
        std::uint8_t record[kDirRecordSize];
        dirList_.readAt(index, record);
        slot.path = decodeDirRecord(record);
        slot.posix = drives_.toPosix(slot.path);
        slot.index = index;
    }
    return slot;
}

std::string posixPath(DirectoryPaths& dirs, FileEntryView record) {
    const std::uint32_t dir = record.dirIndex();
    const std::string_view name = record.name();
    const std::string& folderPath = dirs.path(dir);
    // Cut, the path names some other file or none: the file cannot be opened by it.
    if (folderPath.size() + name.size() > kShortStringMax) return {};
    // A name that is one plain component follows its folder's POSIX path as it is: the
    // folder's path is mapped once, not again for each of its files.
    const bool plain = !name.empty() && name != "." && name != ".." &&
                       name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
    if (const auto& folder = dirs.posix(dir); plain && folder) {
        std::string posix;
        posix.reserve(folder->size() + 1 + name.size());
        posix = *folder;
        if (posix.back() != '/') posix.push_back('/');
        posix.append(name);
        return posix;
    }
    std::string full = folderPath;
    full.append(name);
    if (auto posix = dirs.drives().toPosix(full)) return std::move(*posix);
    return {};
}

FilePaths filePaths(DirectoryPaths& dirs, FileEntryView record) {
    FilePaths p;
    p.name.assign(record.name());
    std::string path = dirs.path(record.dirIndex());
    path.append(p.name);
    if (path.size() > kShortStringMax) {
        p.full = cut255(path);
        return p;
    }
    p.full = std::move(path);
    p.posix = posixPath(dirs, record);
    return p;
}

bool CompareSteps::step(std::int64_t done) {
    if (done > threshold_) {
        threshold_ = fileCount_ / 100 + done;
        ui_.progress(done);
    }
    ui_.eventTurn();
    return state_.comparing();
}

bool CompareSteps::turn() {
    ui_.eventTurn();
    return state_.comparing();
}

ProbeLookahead::ProbeLookahead(FileListCursor cursor, DirectoryPaths& dirs, ReadAhead& reads, std::size_t slots,
                               unsigned warmReaders, bool followIdleProcessors)
    : cursor_(std::move(cursor)), dirs_(dirs), reads_(reads), slots_(slots), warmReaders_(warmReaders),
      followIdle_(followIdleProcessors), warmNow_(warmReaders) {
    lookAtProcessors();
    serve();
}

ProbeLookahead::~ProbeLookahead() {
    for (const Asked& a : asked_) reads_.release(a.ticket);
}

void ProbeLookahead::serve() {
    // From memory a reader wakes once half the probes ahead wait: it takes the far half of
    // them while this thread reads the near one.
    if (waiting_) reads_.setServing(reads_.threads(), 1);
    else reads_.setServing(warmNow_, static_cast<unsigned>(std::max<std::size_t>(slots_ / 2, 1)));
}

void ProbeLookahead::lookAtProcessors() {
    if (warmReaders_ == 0 || !followIdle_) return;
    // This thread and the readers inside a read are ours; one idle processor is this
    // thread's own.
    const unsigned idle = processorsIdle(1 + reads_.busyReaders());
    const unsigned allowed = std::min(warmReaders_, idle > 0 ? idle - 1 : 0);
    // Fewer only when two looks in a row agree: another program's instant on a processor
    // is no reason to read alone.
    if (allowed < warmNow_ && ++fewerSeen_ < 2) return;
    fewerSeen_ = 0;
    warmNow_ = allowed;
}

void ProbeLookahead::noteRead(bool cached) {
    // Hundreds of reads in a row from memory: the files ahead are very likely there too.
    constexpr unsigned kCalm = 256;
    // How often the idle processors are counted: a look costs a few system calls.
    constexpr unsigned kLookEvery = 1024;
    // A few reads close together that wait for the disk: the files ahead are on it. One
    // now and then among reads from memory (a file pushed out of memory since) is not worth
    // waking every reader for.
    constexpr unsigned kWaits = 4, kClose = 64;
    const bool before = waiting_;
    const unsigned warmBefore = warmNow_;
    if (!cached) {
        if (inMemory_ > kClose) recentWaits_ = 0;
        if (++recentWaits_ >= kWaits) waiting_ = true;
        inMemory_ = 0;
    } else if (++inMemory_ >= kCalm) {
        waiting_ = false;
    }
    if (++sinceLook_ >= kLookEvery) {
        sinceLook_ = 0;
        lookAtProcessors();
    }
    if (waiting_ != before || (!waiting_ && warmNow_ != warmBefore)) serve();
}

void ProbeLookahead::fill(std::int64_t from) {
    if (!waiting_ && warmNow_ == 0) return;
    if (cursor_.position() < from) {
        // Behind the comparison (it read on alone for a while): on from its position, the
        // record before it telling whether the first one is in a class of two.
        cursor_.moveTo(from - 1);
        previousSize_ = FileEntryView(cursor_.next()).size();
        havePrevious_ = true;
    }
    // A record whose class may go on past what the sort has written yet waits for later.
    while (asked_.size() < slots_ && !reads_.full() && !cursor_.atEnd() && cursor_.ready(2)) {
        const std::int64_t number = cursor_.position();
        const FileEntryView record(cursor_.next());
        const std::int32_t size = record.size();
        const std::uint8_t* after = cursor_.peek();
        // In a class of two or more: the same size as the file before it or the one after.
        const bool crowded =
            (havePrevious_ && previousSize_ == size) || (after && FileEntryView(after).size() == size);
        previousSize_ = size;
        havePrevious_ = true;
        if (!crowded) continue;
        const std::string posix = posixPath(dirs_, record);
        if (posix.empty()) continue;
        // A file recorded empty is only looked up, never opened: that brings what stat will want.
        asked_.push_back({number, reads_.ask(posix, 0, size == 0 ? 0 : kProbeSize)});
    }
}

std::optional<ReadAhead::Ticket> ProbeLookahead::take(std::int64_t record) {
    while (!asked_.empty() && asked_.front().record < record) {
        reads_.release(asked_.front().ticket);
        asked_.pop_front();
    }
    if (asked_.empty() || asked_.front().record != record) return std::nullopt;
    const ReadAhead::Ticket t = asked_.front().ticket;
    asked_.pop_front();
    return t;
}

}  // namespace parelix
