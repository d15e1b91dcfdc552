#include "engine/SizeClassCompare.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <tuple>

#include "engine/ContentDigest.h"
#include "engine/Records.h"
#include "platform/Drives.h"
#include "platform/Text.h"

namespace parelix {

namespace {

static_assert(kBlockBufferSize == kContentChunkSize, "a chunk is a block buffer");

// What is read of every file of a size class: enough to tell apart files that differ early,
// at the cost of one small read. Most files of a crowded class differ in their first bytes,
// and reading whole chunks of every one would copy several times as much.
constexpr std::size_t kProbeSize = 4096;

// Probes kept from the first reading, so that confirming a pair of small files needs no second
// opening and a large pair reads on from where its probes end. Beyond the cap, files are read
// again from their start when confirmed.
constexpr std::size_t kArenaCap = 8u << 20;

// "(size)". Built piece by piece: GCC 12 warns falsely about "(" + to_string() at -O3.
std::string groupText(std::int64_t size) {
    std::string text(1, '(');
    text += std::to_string(size);
    text += ')';
    return text;
}

}  // namespace

const std::string& DirectoryPaths::path(std::uint32_t index) {
    // Files of one size lie in folders all over the tree: a cache that holds few folders
    // reads the directory list again for most files. Direct-mapped, so a hit costs one
    // comparison.
    if (slots_.empty()) slots_.resize(kSlots);
    Slot& slot = slots_[index % kSlots];
    if (slot.index != index) {
        std::uint8_t record[kDirRecordSize];
        dirList_.readAt(index, record);
        slot.path = decodeDirRecord(record);
        slot.index = index;
    }
    return slot.path;
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

SizeClassCompare::SizeClassCompare(SearchUi& ui, ResultTrees& trees, FileListCursor& list, DirectoryPaths& dirs,
                                   CompareSteps& steps, std::uint8_t* chunkA, std::uint8_t* chunkB)
    : ui_(ui), trees_(trees), list_(list), dirs_(dirs), steps_(steps), chunkA_(chunkA), chunkB_(chunkB) {}

SizeClassCompare::Paths SizeClassCompare::pathsOf(const std::uint8_t* record) {
    Paths p;
    p.name.assign(entryName(record));
    std::string path = dirs_.path(entryDirIndex(record));
    path.append(p.name);
    // Cut, the path names some other file or none: the file cannot be opened by it.
    const bool whole = path.size() <= kShortStringMax;
    p.full = cut255(path);
    if (whole) {
        if (auto posix = DriveTable::current().toPosix(p.full)) p.posix = std::move(*posix);
    }
    return p;
}

const SizeClassCompare::Paths& SizeClassCompare::pathsOf(const ClassFile& file) {
    const auto index = static_cast<std::uint32_t>(&file - files_.data());
    auto it = paths_.find(index);
    if (it != paths_.end()) return it->second;
    std::uint8_t record[kFileEntrySize];
    list_.recordAt(file.record, record);
    return paths_.emplace(index, pathsOf(record)).first->second;
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
    const std::int32_t size = entrySize(first);
    classStart_ = list_.position();
    files_.clear();
    paths_.clear();
    arena_.clear();
    anyReadable_ = false;
    learned_ = finished_ = 0;
    for (;;) {
        const std::uint8_t* record = list_.next();
        const std::uint8_t* after = list_.peek();
        const bool last = !after || entrySize(after) != size;
        // Alone of its size: never opened.
        if (files_.empty() && last) return steps_.step(classStart_ + 1);
        ClassFile file;
        file.record = static_cast<std::uint32_t>(list_.position() - 1);
        file.node = entryNode(record);
        file.shownSize = size;
        learn(file, record, size, last);
        files_.push_back(file);
        ++learned_;
        if (!step()) return false;
        if (last) break;
    }
    const bool complete = group();
    if (arena_.capacity() > (1u << 20)) std::vector<std::uint8_t>().swap(arena_);
    return complete;
}

void SizeClassCompare::learn(ClassFile& file, const std::uint8_t* record, std::int32_t size, bool last) {
    const Paths p = pathsOf(record);
    // One file is read at a time here: a partner is named only in a pair.
    showPair(p.name, {});
    if (size == 0) {
        // Empty files are equal without being opened. The size kept is the low 32 bits, so a
        // recorded 0 may also be a multiple of 4 GiB: only a real size of 0 goes unread.
        // A file gone since the walk stays an empty one.
        const auto st = statRegularFile(p.posix);
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
    SearchedFile f;
    if (!f.open(p.posix)) {
        file.state = State::Unreadable;
        // Logged where the pairwise walk first meets it: there, the last file of a class
        // whose files all fail to open is never opened.
        if (anyReadable_ || !last) {
            ui_.logLine(p.full + " inaccessible");
            file.logged = true;
        }
        return;
    }
    file.identity = f.stat().identity;
    file.identityKnown = true;
    file.shownSize = static_cast<std::int64_t>(f.stat().size);
    const std::size_t n = f.readChunk(chunkA_, kProbeSize);
    file.probeLength = static_cast<std::uint32_t>(n);
    file.whole = n < kProbeSize || n == f.stat().size;
    file.digest = chunkDigest(chunkA_, n);
    file.state = State::Read;
    anyReadable_ = true;
    if (arena_.size() + n <= kArenaCap) {
        file.held = static_cast<std::uint32_t>(arena_.size());
        arena_.insert(arena_.end(), chunkA_, chunkA_ + n);
    }
}

void SizeClassCompare::fileBuckets() {
    std::vector<std::uint32_t> order;
    order.reserve(files_.size());
    for (std::uint32_t i = 0; i < files_.size(); ++i)
        if (files_[i].state != State::Unreadable) order.push_back(i);
    auto key = [this](std::uint32_t i) {
        const ClassFile& f = files_[i];
        return std::make_tuple(f.state, f.probeLength, f.shownSize, f.digest);
    };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    pending_.clear();
    for (std::size_t from = 0; from < order.size();) {
        std::size_t to = from + 1;
        while (to < order.size() && key(order[to]) == key(order[from])) ++to;
        if (to - from >= 2) {
            const auto bucket = static_cast<std::int32_t>(pending_.size());
            auto& positions = pending_.emplace_back();
            for (std::size_t k = from; k < to; ++k) {
                files_[order[k]].bucket = bucket;
                positions.insert(positionOf_[order[k]]);
            }
        }
        from = to;
    }
}

bool SizeClassCompare::namesMemberFile(const ClassFile& rep, const ClassFile& cand) const {
    if (rep.identityKnown && members_.count(rep.identity)) return true;
    if (!cand.identityKnown) return false;
    return (rep.identityKnown && rep.identity == cand.identity) || members_.count(cand.identity) != 0;
}

void SizeClassCompare::logUnreadable(ClassFile& file) {
    file.state = State::Unreadable;
    file.bucket = kNoBucket;
    if (file.logged) return;
    file.logged = true;
    ui_.logLine(pathsOf(file).full + " inaccessible");
}

// The file's probe: kept in the arena, else read again into buffer through file. Null when
// the file cannot be opened.
const std::uint8_t* SizeClassCompare::probeOf(const ClassFile& file, const Paths& paths, SearchedFile& opened,
                                              std::uint8_t* buffer, std::size_t& length) {
    if (file.held != kNotHeld) {
        length = file.probeLength;
        return arena_.data() + file.held;
    }
    if (!opened.open(paths.posix)) return nullptr;
    length = opened.readChunk(buffer, kProbeSize);
    return buffer;
}

// Byte by byte: a digest only ever separates files. Equal only when every pair of chunks
// read the same count and the same bytes, so a file that runs past the other (changed since
// the walk, or 4 GiB apart) is different.
SizeClassCompare::Match SizeClassCompare::confirm(ClassFile& rep, ClassFile& cand) {
    const Paths& repPaths = pathsOf(rep);
    const Paths& candPaths = pathsOf(cand);
    showPair(repPaths.name, candPaths.name);
    if (rep.state == State::Empty) return Match::Same;   // the bucket holds only empty files

    // The probes, kept or read again; the representative is opened first.
    SearchedFile first, second;
    std::size_t na = 0, nb = 0;
    const std::uint8_t* a = probeOf(rep, repPaths, first, chunkA_, na);
    if (!a) return logUnreadable(rep), Match::RepresentativeUnreadable;
    const std::uint8_t* b = probeOf(cand, candPaths, second, chunkB_, nb);
    if (!b) return logUnreadable(cand), Match::CandidateUnreadable;
    if (na != nb || std::memcmp(a, b, na) != 0) return Match::Different;
    if (rep.whole && cand.whole) return Match::Same;

    // The rest, from where the probes end.
    if (!first.isOpen() && (!first.open(repPaths.posix) || !first.seek(na)))
        return logUnreadable(rep), Match::RepresentativeUnreadable;
    if (!second.isOpen() && (!second.open(candPaths.posix) || !second.seek(nb)))
        return logUnreadable(cand), Match::CandidateUnreadable;
    for (;;) {
        if (!steps_.turn()) return Match::Stopped;   // the pair counts as not compared
        na = first.readChunk(chunkA_, kBlockBufferSize);
        nb = second.readChunk(chunkB_, kBlockBufferSize);
        if (na != nb || std::memcmp(chunkA_, chunkB_, na) != 0) return Match::Different;
        if (na < kBlockBufferSize) return Match::Same;
    }
}

void SizeClassCompare::addMember(NodeId group, const ClassFile& file) {
    trees_.addDuplicate(group, pathsOf(file).full, file.node);
    if (file.identityKnown) members_.insert(file.identity);
}

bool SizeClassCompare::group() {
    const auto n = static_cast<std::uint32_t>(files_.size());
    sequence_.resize(n);
    positionOf_.resize(n);
    std::iota(sequence_.begin(), sequence_.end(), 0u);
    std::iota(positionOf_.begin(), positionOf_.end(), 0u);
    fileBuckets();

    bool stopped = false;
    for (std::uint32_t i = 0; i < n && !stopped; ++i, ++finished_) {
        std::uint32_t repIndex = sequence_[i];
        if (files_[repIndex].bucket == kNoBucket) continue;
        pending_[static_cast<std::size_t>(files_[repIndex].bucket)].erase(i);
        NodeId group = kNoNode;
        // Later files of the representative's bucket, in sequence order; every other later
        // file of the class differs from it in its first chunk.
        for (std::uint32_t c = i;;) {
            ClassFile& rep = files_[repIndex];
            if (rep.bucket == kNoBucket) break;
            auto& pending = pending_[static_cast<std::size_t>(rep.bucket)];
            const auto it = pending.upper_bound(c);
            if (it == pending.end()) break;
            const std::uint32_t p = *it;
            c = p;
            const std::uint32_t candIndex = sequence_[p];
            ClassFile& cand = files_[candIndex];
            // Two names of one file, or a file already in a group, are never a pair.
            if (namesMemberFile(rep, cand)) continue;
            const Match m = confirm(rep, cand);
            if (m == Match::Stopped) {
                stopped = true;
                break;
            }
            if (m == Match::CandidateUnreadable) pending.erase(p);
            if (m == Match::Same) {
                if (group == kNoNode) group = trees_.dblList.addChild(kNoNode, groupText(rep.shownSize));
                addMember(group, rep);
                ++finished_;
                // The match stands right after the previous representative; the file that
                // stood there, already passed over, takes the match's place.
                pending.erase(p);
                const std::uint32_t next = i + 1;
                if (next != p) {
                    const std::uint32_t displaced = sequence_[next];
                    const std::int32_t bucket = files_[displaced].bucket;
                    if (bucket != kNoBucket && pending_[static_cast<std::size_t>(bucket)].erase(next))
                        pending_[static_cast<std::size_t>(bucket)].insert(p);
                    sequence_[p] = displaced;
                    positionOf_[displaced] = p;
                }
                sequence_[next] = candIndex;
                positionOf_[candIndex] = next;
                i = next;
                repIndex = candIndex;
            }
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
    }
    if (stopped) return false;
    return step();
}

}  // namespace parelix
