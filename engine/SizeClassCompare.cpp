#include "engine/SizeClassCompare.h"

#include <cstring>
#include <numeric>
#include <optional>

#include "engine/ContentDigest.h"
#include "engine/Records.h"

namespace parelix {

SizeClassCompare::SizeClassCompare(SearchUi& ui, ResultTrees& trees, FileListCursor& list, DirectoryPaths& dirs,
                                   CompareSteps& steps, ReadAhead& reads, ProbeLookahead& ahead,
                                   const CompareLimits& limits, std::uint8_t* chunkA, std::uint8_t* chunkB)
    : ui_(ui), trees_(trees), list_(list), dirs_(dirs), steps_(steps), reads_(reads), ahead_(ahead),
      limits_(limits), chunkA_(chunkA), chunkB_(chunkB) {}

const FilePaths& SizeClassCompare::pathsOf(const ClassFile& file) {
    const std::uint32_t index = indexOf(file);
    auto it = paths_.find(index);
    if (it != paths_.end()) return it->second;
    std::uint8_t record[kFileEntrySize];
    list_.recordAt(file.record, record);
    return paths_.emplace(index, filePaths(dirs_, FileEntryView(record))).first->second;
}

bool SizeClassCompare::openFile(SearchedFile& file, const std::string& posixPath) {
    if (file.open(posixPath, reads_.readCall(), reads_.folders())) return true;
    if (lacksResources(file.openError())) raiseInOutError(inOutCodeFromErrno(file.openError()));
    return false;
}

void SizeClassCompare::showPair(std::string_view first, std::string_view second) {
    if (shown_[0] == first && shown_[1] == second) return;
    shown_[0].assign(first);
    shown_[1].assign(second);
    ui_.pairCompared(shown_[0], shown_[1]);
}

bool SizeClassCompare::step() { return steps_.step(classStart_ + (learned_ + finished_) / 2); }

bool SizeClassCompare::run() {
    const std::uint8_t* first = list_.peek();
    if (!first) return true;
    const std::int32_t size = FileEntryView(first).size();
    classStart_ = list_.position();
    files_.clear();
    paths_.clear();
    arenaUsed_ = 0;
    names_.clear();
    pending_.clear();
    sets_ = 0;
    anyReadable_ = false;
    learned_ = finished_ = 0;
    bool alone = false;
    const bool learnedAll = learnAll(size, alone);
    if (alone) return learnedAll;
    // After a Stop nothing more is read: what is already known still makes its groups.
    const bool splitAll = split(learnedAll);
    const bool grouped = group(splitAll);
    return learnedAll && splitAll && grouped;
}

bool SizeClassCompare::learnAll(std::int32_t size, bool& alone) {
    for (;;) {
        const FileEntryView record(list_.next());
        const std::uint8_t* after = list_.peek();
        const bool last = !after || FileEntryView(after).size() != size;
        // Alone of its size: never opened.
        if (files_.empty() && last) {
            alone = true;
            return steps_.step(classStart_ + 1);
        }
        ClassFile file;
        file.record = static_cast<std::uint32_t>(list_.position() - 1);
        file.node = record.node();
        file.shownSize = size;
        file.carrier = static_cast<std::uint32_t>(files_.size());
        learn(file, record, size, last);
        files_.push_back(file);
        ++learned_;
        if (last) return true;
        // The pairwise walk's first step meets two files: a Stop is answered after it.
        if (!step() && files_.size() >= 2) return false;
    }
}

void SizeClassCompare::learn(ClassFile& file, FileEntryView record, std::int32_t size, bool last) {
    // One file is read at a time here: a partner is named only in a pair.
    showPair(record.name(), {});
    // The paths are made only when this thread opens, looks up or logs the file: a probe
    // read ahead was asked by them already.
    std::optional<FilePaths> paths;
    auto pathsNow = [&]() -> const FilePaths& {
        if (!paths) paths = filePaths(dirs_, record);
        return *paths;
    };
    std::optional<std::string> posix;
    auto posixNow = [&]() -> const std::string& {
        if (!posix) posix = paths ? paths->posix : posixPath(dirs_, record);
        return *posix;
    };
    if (size == 0) {
        if (const auto ticket = ahead_.take(file.record)) reads_.release(*ticket);
        // Empty files are equal without being opened. The size kept is the low 32 bits, so a
        // recorded 0 may also be a multiple of 4 GiB: only a real size of 0 goes unread.
        // A file gone since the walk stays an empty one.
        const auto st = statRegularFile(posixNow());
        if (!st || st->size == 0) {
            file.state = State::Empty;
            if (st) {
                file.identity = st->identity;
                file.identityKnown = true;
            }
            anyReadable_ = true;
            return;
        }
    }
    bool opened = false;
    if (const auto ticket = ahead_.take(file.record)) {
        const ReadAhead::Answer& a = reads_.wait(*ticket);
        opened = a.opened;
        if (opened) keepProbe(file, a.data, a.length, a.stat);
        ahead_.noteRead(!opened || a.cached);
        reads_.release(*ticket);
    } else {
        SearchedFile f;
        opened = openFile(f, posixNow());
        if (opened) {
            const auto cached = f.readChunkIfCached(chunkA_, kProbeSize);
            ahead_.noteRead(cached.has_value());
            keepProbe(file, chunkA_, cached ? *cached : f.readChunk(chunkA_, kProbeSize), f.stat());
        }
    }
    ahead_.fill(file.record + 1);
    if (opened) return;
    file.state = State::Unreadable;
    // Logged where the pairwise walk first meets it: there, the last file of a class whose
    // files all fail to open is never opened.
    if (anyReadable_ || !last) {
        ui_.logLine(pathsNow().full + " inaccessible");
        file.logged = true;
    }
}

void SizeClassCompare::keepProbe(ClassFile& file, const std::uint8_t* data, std::size_t length,
                                 const FileStat& stat) {
    file.identity = stat.identity;
    file.identityKnown = true;
    file.shownSize = static_cast<std::int64_t>(stat.size);
    file.probeLength = static_cast<std::uint32_t>(length);
    file.whole = length < kProbeSize || length == stat.size;
    file.digest = limits_.digestsCollide ? 0 : chunkDigest(data, length);
    file.state = State::Read;
    anyReadable_ = true;
    if (arenaUsed_ + length <= limits_.probeArena) {
        if (!arena_) arena_ = std::make_unique_for_overwrite<std::uint8_t[]>(limits_.probeArena);
        file.held = static_cast<std::uint32_t>(arenaUsed_);
        std::memcpy(arena_.get() + arenaUsed_, data, length);
        arenaUsed_ += length;
    }
}

void SizeClassCompare::logUnreadable(ClassFile& file) {
    file.state = State::Unreadable;
    file.set = kAlone;
    if (file.logged) return;
    file.logged = true;
    ui_.logLine(pathsOf(file).full + " inaccessible");
}

void SizeClassCompare::addMember(NodeId group, const ClassFile& file) {
    trees_.addDuplicate(group, pathsOf(file).full, file.node);
    if (file.identityKnown) members_.insert(file.identity);
}

// The other names of the file leave its set: they never pair with it, and once it is placed
// (or found to pair with nothing) they never pair at all.
void SizeClassCompare::dropNamesOf(const ClassFile& file) {
    if (!file.identityKnown) return;
    const auto it = names_.find(file.identity);
    if (it == names_.end()) return;
    for (const std::uint32_t other : it->second) {
        const std::int32_t set = files_[other].set;
        if (set >= 0) pending_[static_cast<std::size_t>(set)].erase(positionOf_[other]);
    }
    names_.erase(it);
}

void SizeClassCompare::queueSetMembers() {
    const auto n = static_cast<std::uint32_t>(files_.size());
    sequence_.resize(n);
    positionOf_.resize(n);
    std::iota(sequence_.begin(), sequence_.end(), 0u);
    std::iota(positionOf_.begin(), positionOf_.end(), 0u);
    pending_.assign(static_cast<std::size_t>(sets_), {});
    for (std::uint32_t f = 0; f < n; ++f) {
        const ClassFile& file = files_[f];
        if (file.set < 0) continue;
        auto& pending = pending_[static_cast<std::size_t>(file.set)];
        pending.insert(pending.end(), f);
        if (file.identityKnown) names_[file.identity].push_back(f);
    }
}

bool SizeClassCompare::group(bool complete) {
    queueSetMembers();
    const auto n = static_cast<std::uint32_t>(files_.size());
    for (std::uint32_t i = 0; i < n; ++i, ++finished_) {
        const ClassFile& rep = files_[sequence_[i]];
        // Stop came before this file's set was proven: its group would lack members.
        if (rep.set == kUnsettled) return false;
        if (rep.set == kAlone || (rep.identityKnown && members_.count(rep.identity))) {
            if (!step()) return false;
            continue;
        }
        if (!groupFrom(i)) return false;
    }
    return complete;
}

bool SizeClassCompare::groupFrom(std::uint32_t& i) {
    std::uint32_t repIndex = sequence_[i];
    pending_[static_cast<std::size_t>(files_[repIndex].set)].erase(i);
    NodeId group = kNoNode;
    bool stopped = false;
    // Every later file of the set is equal to the representative: the first one that is not
    // one of its names matches.
    for (std::uint32_t c = i;;) {
        const ClassFile& rep = files_[repIndex];
        dropNamesOf(rep);
        auto& pending = pending_[static_cast<std::size_t>(rep.set)];
        const auto it = pending.upper_bound(c);
        if (it == pending.end()) break;
        const std::uint32_t p = *it;
        c = p;
        const std::uint32_t candIndex = sequence_[p];
        showPair(pathsOf(rep).name, pathsOf(files_[candIndex]).name);
        // A member was read or is empty: its size is the real one.
        if (group == kNoNode) group = trees_.addGroup(static_cast<std::uint64_t>(rep.shownSize));
        addMember(group, rep);
        ++finished_;
        pending.erase(it);
        bringForward(p, i + 1);
        i = i + 1;
        repIndex = candIndex;
        if (!step()) {
            stopped = true;
            break;
        }
    }
    if (group != kNoNode) {
        addMember(group, files_[repIndex]);
        trees_.dblList.sortChildren(group);
        trees_.dblList.expand(group);
    }
    return !stopped && step();
}

void SizeClassCompare::bringForward(std::uint32_t from, std::uint32_t to) {
    // The match stands right after the previous representative; the file that stood there,
    // already passed over, takes the match's place.
    const std::uint32_t moved = sequence_[from];
    if (to != from) {
        const std::uint32_t displaced = sequence_[to];
        const std::int32_t set = files_[displaced].set;
        if (set >= 0 && pending_[static_cast<std::size_t>(set)].erase(to))
            pending_[static_cast<std::size_t>(set)].insert(from);
        sequence_[from] = displaced;
        positionOf_[displaced] = from;
    }
    sequence_[to] = moved;
    positionOf_[moved] = to;
}

}  // namespace parelix
