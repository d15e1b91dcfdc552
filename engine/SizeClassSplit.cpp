// Splitting a size class into sets of identical content.
#include <algorithm>
#include <cstring>
#include <memory>
#include <tuple>

#include "engine/ContentDigest.h"
#include "engine/Records.h"
#include "engine/SizeClassCompare.h"

namespace parelix {

namespace {

static_assert(kBlockBufferSize == kContentChunkSize, "a chunk is a block buffer");

// Files that part ways at one chunk are filed by what they read there: its digest, and
// whether the file ended with it.
std::uint64_t pieceKey(const std::uint8_t* data, std::size_t length, bool ended, bool collide) {
    return (collide ? 0 : chunkDigest(data, length)) ^ (ended ? 0x5bd1e9955bd1e995ull : 0);
}

// A piece ends its file when it came short, or reached the size the file had when opened.
bool endsFile(std::size_t length, std::size_t chunk, std::uint64_t offset, std::uint64_t size) {
    return length < chunk || offset + length == size;
}

// The reads of one pass over a set asked of the readers, by the file's place in the set;
// whatever is still asked when the pass ends, by Stop or by an error, is released.
class AskedReads {
public:
    AskedReads(ReadAhead& reads, std::size_t count) : reads_(reads), tickets_(count), asked_(count, false) {}
    ~AskedReads() {
        for (std::size_t k = 0; k < asked_.size(); ++k) release(k);
    }
    AskedReads(const AskedReads&) = delete;
    AskedReads& operator=(const AskedReads&) = delete;

    bool asked(std::size_t k) const { return asked_[k]; }
    void ask(std::size_t k, const std::string& path, std::uint64_t offset, std::size_t length) {
        tickets_[k] = reads_.ask(path, offset, length);
        asked_[k] = true;
    }
    const ReadAhead::Answer& wait(std::size_t k) { return reads_.wait(tickets_[k]); }
    void release(std::size_t k) {
        if (!asked_[k]) return;
        reads_.release(tickets_[k]);
        asked_[k] = false;
    }

private:
    ReadAhead& reads_;
    std::vector<ReadAhead::Ticket> tickets_;
    std::vector<bool> asked_;
};

}  // namespace

bool SizeClassCompare::split(bool reading) {
    reading_ = reading;
    // A stack: the set that holds the earliest file of the class is split first, so that a
    // Stop leaves the earliest groups proven.
    std::vector<Pending> work;
    fileProbeBuckets(work);
    bool whole = reading_;
    while (!work.empty()) {
        Pending item = std::move(work.back());
        work.pop_back();
        const bool allHeld = item.offset == 0 && std::all_of(item.files.begin(), item.files.end(), [&](auto f) {
                                 return files_[f].held != kNotHeld;
                             });
        bool done = false;
        if (reading_ || allHeld) {
            done = item.offset > 0 && item.files.size() <= limits_.heldOpen ? splitSideBySide(item, work)
                                                                              : splitThroughReaders(item, work);
        }
        if (!done) {
            settle(item.files, false);
            whole = false;
        }
    }
    // The other names of a file share its set.
    for (ClassFile& f : files_)
        if (f.carrier != indexOf(f) && f.state != State::Unreadable) f.set = files_[f.carrier].set;
    return whole && reading_;
}

void SizeClassCompare::fileProbeBuckets(std::vector<Pending>& work) {
    std::vector<std::uint32_t> order;
    order.reserve(files_.size());
    for (std::uint32_t i = 0; i < files_.size(); ++i)
        if (files_[i].state != State::Unreadable) order.push_back(i);
    auto key = [this](std::uint32_t i) {
        const ClassFile& f = files_[i];
        return std::make_tuple(f.state, f.probeLength, f.shownSize, f.whole, f.digest);
    };
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::vector<Pending> buckets;
    std::unordered_map<FileIdentity, std::uint32_t, FileIdentityHash> carrierOf;
    for (std::size_t from = 0; from < order.size();) {
        std::size_t to = from + 1;
        while (to < order.size() && key(order[to]) == key(order[from])) ++to;
        const std::vector<std::uint32_t> bucket(order.begin() + static_cast<std::ptrdiff_t>(from),
                                                order.begin() + static_cast<std::ptrdiff_t>(to));
        from = to;
        if (bucket.size() < 2) continue;
        if (files_[bucket.front()].state == State::Empty) {
            settle(bucket, true);   // empty files are equal unread
            continue;
        }
        // A file is read once for all its names.
        Pending p;
        carrierOf.clear();
        for (const std::uint32_t f : bucket) {
            const auto [it, first] = carrierOf.emplace(files_[f].identity, f);
            files_[f].carrier = it->second;
            files_[f].set = kUnsettled;
            if (first) p.files.push_back(f);
        }
        if (p.files.size() >= 2) buckets.push_back(std::move(p));
        else for (const std::uint32_t f : bucket) files_[f].set = kAlone;
    }
    std::sort(buckets.begin(), buckets.end(),
              [](const Pending& a, const Pending& b) { return a.files.front() > b.files.front(); });
    for (auto& b : buckets) work.push_back(std::move(b));
}

void SizeClassCompare::settle(const std::vector<std::uint32_t>& files, bool proven) {
    std::int32_t set = kUnsettled;
    if (proven) set = files.size() >= 2 ? sets_++ : kAlone;
    for (const std::uint32_t f : files)
        if (files_[f].state != State::Unreadable) files_[f].set = set;
}

// One chunk read on this thread; a read that waits for the disk turns the readers on.
SizeClassCompare::Piece SizeClassCompare::readHere(std::uint32_t index, std::uint64_t offset, std::size_t chunk,
                                                   std::uint8_t* buffer) {
    Piece piece;
    SearchedFile f;
    if (!openFile(f, pathsOf(files_[index]).posix) || !f.seek(offset)) return piece;
    piece.opened = true;
    piece.data = buffer;
    const auto cached = f.readChunkIfCached(buffer, chunk);
    if (!cached) ahead_.noteRead(false);
    piece.length = cached ? *cached : f.readChunk(buffer, chunk);
    piece.ended = endsFile(piece.length, chunk, offset, f.stat().size);
    return piece;
}

// A file joins the leader's line when it read the same bytes and ended with them or not
// alike; else it is filed by what it read.
void SizeClassCompare::partWays(const Piece& lead, std::vector<std::uint32_t>& same,
                                std::unordered_map<std::uint64_t, std::vector<std::uint32_t>>& others,
                                std::uint32_t file, const Piece& piece) {
    if (piece.length == lead.length && piece.ended == lead.ended &&
        std::memcmp(piece.data, lead.data, piece.length) == 0) {
        same.push_back(file);
        return;
    }
    others[pieceKey(piece.data, piece.length, piece.ended, limits_.digestsCollide)].push_back(file);
}

// Files filed alike at the chunk from `offset` are read again from it, each set under a
// leader of its own: equal digests prove nothing. A file filed alone pairs with nothing.
void SizeClassCompare::queueParted(std::uint64_t offset,
                                   std::unordered_map<std::uint64_t, std::vector<std::uint32_t>>& others,
                                   std::vector<Pending>& work) {
    std::vector<Pending> parted;
    for (auto& [key, files] : others) {
        if (files.size() >= 2) parted.push_back({std::move(files), offset});
        else settle(files, true);
    }
    std::sort(parted.begin(), parted.end(),
              [](const Pending& a, const Pending& b) { return a.files.front() > b.files.front(); });
    for (auto& p : parted) work.push_back(std::move(p));
}

// One chunk of every file of the set, asked of the readers ahead.
bool SizeClassCompare::splitThroughReaders(Pending& item, std::vector<Pending>& work) {
    const bool probes = item.offset == 0;
    const std::size_t chunk = probes ? kProbeSize : kBlockBufferSize;
    const std::size_t n = item.files.size();
    auto heldHere = [&](std::size_t k) { return probes && files_[item.files[k]].held != kNotHeld; };
    AskedReads asked(reads_, n);
    std::size_t nextAsk = 0;
    // The readers only while the disk is waited for: bytes already in memory cost less read
    // here than handed to another thread.
    const bool ahead = ahead_.waitingForDisk();
    SetPass pass;
    for (std::size_t k = 0; k < n; ++k) {
        for (; ahead && nextAsk < n && !reads_.full(); ++nextAsk)
            if (!heldHere(nextAsk)) asked.ask(nextAsk, pathsOf(files_[item.files[nextAsk]]).posix, item.offset, chunk);
        const std::uint32_t index = item.files[k];
        // Read here when not asked. (With the readers on, every piece is asked: the slots
        // released before this one leave room, as the probes ahead never take the last ones.)
        const Piece piece = heldHere(k)      ? heldProbe(files_[index])
                            : asked.asked(k) ? answeredPiece(asked.wait(k), item.offset, chunk)
                                             : readHere(index, item.offset, chunk, chunkB_);
        takePiece(pass, index, piece);
        asked.release(k);
        if (reading_ && !steps_.turn()) {
            reading_ = false;
            return false;
        }
    }
    queueParted(item.offset, pass.others, work);
    // The leader's line goes on top, so that the set holding the earliest file is split first.
    if (pass.same.size() >= 2 && !pass.lead.ended)
        work.push_back({std::move(pass.same), item.offset + pass.lead.length});
    else
        settle(pass.same, true);
    return true;
}

SizeClassCompare::Piece SizeClassCompare::heldProbe(const ClassFile& file) const {
    Piece piece;
    piece.opened = true;
    piece.data = arena_.get() + file.held;
    piece.length = file.probeLength;
    piece.ended = file.whole;
    return piece;
}

SizeClassCompare::Piece SizeClassCompare::answeredPiece(const ReadAhead::Answer& a, std::uint64_t offset,
                                                        std::size_t chunk) {
    Piece piece;
    piece.opened = a.opened;
    piece.data = a.data;
    piece.length = a.length;
    piece.ended = endsFile(a.length, chunk, offset, a.stat.size);
    return piece;
}

// The first readable file of a pass leads it: its piece is kept in chunk A, since the slot or
// buffer it came in is reused; every later one joins its line or is filed apart.
void SizeClassCompare::takePiece(SetPass& pass, std::uint32_t index, const Piece& piece) {
    ClassFile& file = files_[index];
    if (!piece.opened) {
        logUnreadable(file);
    } else if (pass.same.empty()) {
        std::memcpy(chunkA_, piece.data, piece.length);
        pass.lead = piece;
        pass.lead.data = chunkA_;
        pass.same.push_back(index);
    } else {
        showPair(pathsOf(files_[pass.same.front()]).name, pathsOf(file).name);
        partWays(pass.lead, pass.same, pass.others, index, piece);
    }
}

// A few files read on side by side from one offset to their end, or until they part ways.
bool SizeClassCompare::splitSideBySide(Pending& item, std::vector<Pending>& work) {
    const std::size_t n = item.files.size();
    auto open = std::make_unique<SearchedFile[]>(n);
    std::vector<std::uint32_t> live;   // indices into item.files
    for (std::uint32_t k = 0; k < n; ++k) {
        ClassFile& file = files_[item.files[k]];
        if (openFile(open[k], pathsOf(file).posix) && open[k].seek(item.offset)) {
            open[k].readSequentially();
            live.push_back(k);
        } else {
            logUnreadable(file);
        }
    }
    if (live.size() < 2) {
        for (const std::uint32_t k : live) files_[item.files[k]].set = kAlone;
        return true;
    }
    showPair(pathsOf(files_[item.files[live[0]]]).name, pathsOf(files_[item.files[live[1]]]).name);
    std::uint64_t offset = item.offset;
    auto readOn = [&](SearchedFile& f, std::uint8_t* buffer) {
        Piece piece;
        piece.opened = true;
        piece.data = buffer;
        piece.length = f.readChunk(buffer, kBlockBufferSize);
        piece.ended = endsFile(piece.length, kBlockBufferSize, offset, f.stat().size);
        return piece;
    };
    for (;;) {
        std::vector<std::uint32_t> same{item.files[live[0]]};
        std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> others;
        const Piece lead = readOn(open[live[0]], chunkA_);
        std::vector<std::uint32_t> still{live[0]};
        for (std::size_t j = 1; j < live.size(); ++j) {
            const std::size_t before = same.size();
            partWays(lead, same, others, item.files[live[j]], readOn(open[live[j]], chunkB_));
            if (same.size() > before) still.push_back(live[j]);
            else open[live[j]].close();
        }
        // Those that parted ways are read again from this chunk, later.
        queueParted(offset, others, work);
        offset += lead.length;
        if (lead.ended || same.size() < 2) {
            settle(same, true);
            return true;
        }
        live = std::move(still);
        if (!steps_.turn()) {
            reading_ = false;
            settle(same, false);
            return true;
        }
    }
}

}  // namespace parelix
