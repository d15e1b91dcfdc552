// Duplicate detection: walks the file list sorted by decreasing size through a window of
// 244 records, compares each representative with the following records of its size, and
// builds the groups of DblList.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/ContentDigest.h"
#include "engine/SearchEngine.h"
#include "platform/Text.h"

namespace parelix {

namespace {

constexpr int kWindow = static_cast<int>(kCompareWindowRecords);

// A searched file opened read-only; closed on every way out, error included.
class ReadFile {
public:
    ReadFile() = default;
    ~ReadFile() { close(); }
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    // Opens the file and learns its identity on first opening. Only regular files are
    // read: a path that became a FIFO or a folder since the walk is as good as unreadable
    // (O_NONBLOCK keeps a FIFO from hanging the open).
    bool open(FileFacts& facts) {
        if (facts.posixPath.empty()) return false;
        fd_ = ::open(facts.posixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return false;
        if (!facts.identityKnown) {
            struct stat st {};
            if (::fstat(fd_, &st) == 0) {
                facts.identityKnown = true;
                facts.regular = S_ISREG(st.st_mode);
                facts.device = static_cast<std::uint64_t>(st.st_dev);
                facts.inode = static_cast<std::uint64_t>(st.st_ino);
            }
        }
        if (facts.identityKnown && facts.regular) return true;
        close();
        return false;
    }
    // Reads up to one chunk in one read, as a block read does; a read error on an opened
    // file is an input/output error.
    std::size_t readChunk(std::uint8_t* buffer) {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, kBlockBufferSize);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) raiseInOutError(inOutCodeFromErrno(errno));
        }
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Identity {
    std::uint64_t device;
    std::uint64_t inode;
    bool operator==(const Identity&) const = default;
};

struct IdentityHash {
    std::size_t operator()(const Identity& id) const {
        return std::hash<std::uint64_t>{}(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

}  // namespace

// The window and what must survive it. Slots of buffer 1 carry their position in the
// sequence; in the usual mode those positions are consecutive. In refill mode the slots
// after the representative jump ahead, so the records between stay on disk: those that
// exchanges changed are kept in `moved` until the sequence reaches them again, so every
// exchange stays in force whatever the window reads back.
struct SearchEngine::CompareState {
    using Record = std::array<std::uint8_t, kFileEntrySize>;

    SearchEngine& engine;
    std::uint8_t* window = nullptr;
    std::int64_t total = 0;   // records in the file list
    int count = 0;            // valid records in the window
    std::int64_t pos[kWindow] = {};
    bool dirty[kWindow] = {};     // differs, or may differ, from the file list at pos
    std::map<std::int64_t, Record> moved;

    std::unordered_map<std::uint32_t, std::string> dirs;   // directory index -> path
    SizeClassMemory memory;
    std::unordered_set<Identity, IdentityHash> groupFiles;   // members of the open group

    // The pair handed to the content compare.
    std::string_view repName, candName;
    FileFacts* repFacts = nullptr;
    FileFacts* candFacts = nullptr;
    std::string shown[2];
    // A file of the class whose whole content, read in one chunk, still lies in buffer 2 or 3:
    // the next pair that needs it compares those bytes instead of opening it again.
    const FileFacts* held = nullptr;
    std::uint8_t* heldBuffer = nullptr;
    std::size_t heldLength = 0;

    explicit CompareState(SearchEngine& e) : engine(e) {}

    std::uint8_t* slot(int s) { return window + static_cast<std::size_t>(s) * kFileEntrySize; }

    // Loads sequence positions [from, from + n) into slots [first, first + n).
    void load(int first, std::int64_t from, int n) {
        if (n <= 0) return;
        engine.file1_.seek(from);
        if (engine.file1_.blockRead(slot(first), static_cast<std::size_t>(n)) != static_cast<std::size_t>(n))
            raiseInOutError(100);
        for (int i = 0; i < n; ++i) {
            pos[first + i] = from + i;
            dirty[first + i] = false;
        }
        auto it = moved.lower_bound(from);
        while (it != moved.end() && it->first < from + n) {
            const int s = first + static_cast<int>(it->first - from);
            std::memcpy(slot(s), it->second.data(), kFileEntrySize);
            dirty[s] = true;
            it = moved.erase(it);
        }
    }

    // Fills the window from slot `first` on with the sequence from position `next`.
    void fillFrom(int first, std::int64_t next) {
        const int n = static_cast<int>(std::min<std::int64_t>(kWindow - first, total - next));
        load(first, next, n);
        count = first + std::max(n, 0);
    }

    // A slot leaves the window: a changed record still ahead of the done count is kept.
    void evict(int s, std::int64_t done) {
        if (!dirty[s] || pos[s] < done) return;
        Record& r = moved[pos[s]];
        std::memcpy(r.data(), slot(s), kFileEntrySize);
    }

    void recordAt(std::int64_t p, std::uint8_t* out) {
        auto it = moved.find(p);
        if (it != moved.end()) {
            std::memcpy(out, it->second.data(), kFileEntrySize);
            moved.erase(it);
            return;
        }
        engine.file1_.seek(p);
        engine.file1_.read(out);
    }

    const std::string& dirPath(std::uint32_t index) {
        auto it = dirs.find(index);
        if (it != dirs.end()) return it->second;
        if (dirs.size() >= 4096) dirs.clear();
        std::uint8_t record[kDirRecordSize];
        engine.file2_.seek(index);
        engine.file2_.read(record);
        return dirs.emplace(index, decodeDirRecord(record)).first->second;
    }

    FileFacts& factsOf(const std::uint8_t* record) {
        const NodeId node = entryNode(record);
        if (FileFacts* f = memory.find(node)) return *f;
        std::string path = dirPath(entryDirIndex(record));
        path.append(entryName(record));
        const bool whole = path.size() <= kShortStringMax;
        FileFacts& facts = memory.add(node, cut255(path));
        // Cut, the path names some other file or none: this file cannot be opened by it.
        if (!whole) facts.posixPath.clear();
        return facts;
    }

    void showPanel(int panel, std::string_view name) {
        if (shown[panel] == name) return;
        shown[panel].assign(name);
        engine.ui_.setStatusPanelText(panel, shown[panel]);
    }

    // The candidate names the representative's file or a member's already in the group.
    bool namesGroupFile(const FileFacts& rep, const FileFacts& cand) const {
        if (!cand.identityKnown) return false;
        if (rep.identityKnown && rep.device == cand.device && rep.inode == cand.inode) return true;
        return groupFiles.count(Identity{cand.device, cand.inode}) != 0;
    }
};

void SearchEngine::CompareStateDeleter::operator()(CompareState* state) const { delete state; }

// Opens the representative, then the candidate (an unopenable one is logged and the pair
// is different), answers different for two names of one file, then compares chunk by chunk.
// What the size class already taught (identities, first-chunk digests, a whole file still
// in a buffer) settles a pair, or orders the opens so that the candidate's first chunk can
// settle it, without changing any answer or log line.
bool SearchEngine::contentCompare(const std::string& representative, const std::string& candidate) {
    CompareState& st = *compare_;
    FileFacts& rep = *st.repFacts;
    FileFacts& cand = *st.candFacts;
    st.showPanel(0, st.repName);
    if (rep.identityKnown && cand.identityKnown && st.namesGroupFile(rep, cand)) {
        st.showPanel(1, st.candName);
        return false;
    }
    if (rep.digestKnown && cand.digestKnown && rep.digest != cand.digest) {
        st.showPanel(1, st.candName);
        return false;
    }

    // The representative's chunk goes to buffer 2 and the candidate's to buffer 3, unless the
    // representative is held in buffer 3; then the two swap.
    const bool repHeld = st.held == &rep;
    std::uint8_t* const repBuf = repHeld ? st.heldBuffer : buffer2_.get();
    std::uint8_t* const candBuf = repBuf == buffer2_.get() ? buffer3_.get() : buffer2_.get();
    if (!repHeld) st.held = nullptr;   // both buffers may be overwritten below
    ReadFile first, second;
    std::size_t n2 = 0, n3 = 0;
    bool repWhole = false;   // the representative's whole content is in repBuf
    bool oneChunk = true;    // nothing was read past the first chunks
    auto finish = [&](bool equal) {
        if (equal && oneChunk) {
            st.held = &cand;   // the next representative
            st.heldBuffer = candBuf;
            st.heldLength = n3;
        } else if (repWhole) {
            st.held = &rep;
            st.heldBuffer = repBuf;
            st.heldLength = n2;
        } else {
            st.held = nullptr;
        }
        return equal;
    };

    if (rep.digestKnown) {
        // The representative was read before in this class: its opening succeeds as it did.
        st.showPanel(1, st.candName);
        repWhole = repHeld;
        n2 = st.heldLength;
        if (!second.open(cand)) {
            ui_.appendLog(candidate + " inaccessible");
            return finish(false);
        }
        if (st.namesGroupFile(rep, cand)) return finish(false);
        n3 = second.readChunk(candBuf);
        cand.digest = chunkDigest(candBuf, n3);
        cand.digestKnown = true;
        if (cand.digest != rep.digest) return finish(false);
        if (!repHeld) {
            if (!first.open(rep)) {
                ui_.appendLog(representative + " inaccessible");
                return finish(false);
            }
            n2 = first.readChunk(repBuf);
        }
    } else {
        if (!first.open(rep)) {
            ui_.appendLog(representative + " inaccessible");
            return finish(false);
        }
        n2 = first.readChunk(repBuf);
        rep.digest = chunkDigest(repBuf, n2);
        rep.digestKnown = true;
        repWhole = n2 < kBlockBufferSize;
        st.showPanel(1, st.candName);
        if (cand.identityKnown && st.namesGroupFile(rep, cand)) return finish(false);
        if (cand.digestKnown && cand.digest != rep.digest) return finish(false);
        if (!second.open(cand)) {
            ui_.appendLog(candidate + " inaccessible");
            return finish(false);
        }
        if (st.namesGroupFile(rep, cand)) return finish(false);
        n3 = second.readChunk(candBuf);
        if (!cand.digestKnown) {
            cand.digest = chunkDigest(candBuf, n3);
            cand.digestKnown = true;
        }
    }
    // Equal only when every chunk pair read the same count and the same bytes: a file
    // that runs past the other (changed since the walk, or 4 GiB apart) is different.
    // A whole representative is one short chunk, so the loop never reads past it.
    for (;;) {
        if (n2 != n3 || std::memcmp(repBuf, candBuf, n3) != 0) return finish(false);
        if (n3 < kBlockBufferSize) return finish(true);
        repWhole = false;
        oneChunk = false;
        n2 = first.readChunk(repBuf);
        n3 = second.readChunk(candBuf);
    }
}

void SearchEngine::findDuplicates() {
    comparing = true;
    ui_.appendLog("Comparaison des fichiers présumés doubles");
    ui_.setStopCaption("Arrête les comparaisons");
    ui_.setStatusPanelMode(true);
    ui_.setStatusPanelWidth(0, ui_.clientWidth() / 2);
    ui_.setProgressVisible(true);
    ui_.setProgressMax(fileCount);
    std::int32_t threshold = fileCount / 100;

    file1_.assign(fileListName_);
    file1_.reset(kFileEntrySize);
    file2_.assign(dirListName_);
    file2_.reset(kDirRecordSize);

    compare_.reset(new CompareState(*this));
    CompareState& st = *compare_;
    st.window = buffer1_.get();
    st.total = file1_.fileSize();
    st.fillFrom(0, 0);

    std::int64_t done = 0;
    bool groupOpen = false;
    bool refillMode = false;
    NodeId group = kNoNode;
    int r = 0;   // representative's slot
    int c = 1;   // candidate's slot

    auto addRepresentative = [&]() {
        const FileFacts& f = st.factsOf(st.slot(r));
        trees_.addDuplicate(group, f.fullPath, entryNode(st.slot(r)));
        if (f.identityKnown) st.groupFiles.insert(Identity{f.device, f.inode});
    };
    auto closeGroup = [&]() {
        addRepresentative();
        trees_.dblList.sortChildren(group);
        trees_.dblList.expand(group);
        groupOpen = false;
        st.groupFiles.clear();
    };

    while (done < st.total - 1) {
        std::uint8_t* const rep = st.slot(r);
        const std::int32_t size = entrySize(rep);
        if (st.memory.enterClass(size)) st.held = nullptr;

        if (c < st.count && entrySize(st.slot(c)) == size) {
            FileFacts& repFacts = st.factsOf(rep);
            FileFacts& candFacts = st.factsOf(st.slot(c));
            bool same;
            if (size == 0) {
                // Empty files are equal without being opened; two names of one file are not a pair.
                repFacts.statIdentity();
                candFacts.statIdentity();
                same = !st.namesGroupFile(repFacts, candFacts);
            } else {
                st.repName = entryName(rep);
                st.candName = entryName(st.slot(c));
                st.repFacts = &repFacts;
                st.candFacts = &candFacts;
                same = contentCompare(repFacts.fullPath, candFacts.fullPath);
            }
            if (same) {
                if (!groupOpen) group = trees_.dblList.addChild(kNoNode, "(" + std::to_string(size) + ")");
                addRepresentative();
                ++done;
                if (r + 1 < st.count && st.pos[r + 1] == st.pos[r] + 1) {
                    if (r + 1 != c) {
                        CompareState::Record tmp;
                        std::memcpy(tmp.data(), st.slot(r + 1), kFileEntrySize);
                        std::memcpy(st.slot(r + 1), st.slot(c), kFileEntrySize);
                        std::memcpy(st.slot(c), tmp.data(), kFileEntrySize);
                        st.dirty[r + 1] = st.dirty[c] = true;
                    }
                    ++r;
                } else {
                    // Refill mode: the next position of the sequence is not in the window.
                    // The candidate takes it over in the representative's slot, and the record
                    // that stood there takes the candidate's place, as the exchange says.
                    CompareState::Record next;
                    st.recordAt(st.pos[r] + 1, next.data());
                    std::memcpy(st.slot(r), st.slot(c), kFileEntrySize);
                    st.pos[r] += 1;
                    st.dirty[r] = true;
                    std::memcpy(st.slot(c), next.data(), kFileEntrySize);
                    st.dirty[c] = true;
                }
                groupOpen = true;
            }
            ++c;
        } else {
            if (groupOpen) closeGroup();
            ++done;
            if (refillMode) {
                for (int s = 0; s < st.count; ++s) st.evict(s, done);
                st.moved.erase(st.moved.begin(), st.moved.lower_bound(done));
                st.fillFrom(0, done);
                refillMode = false;
                r = 0;
            } else {
                ++r;
            }
            c = r + 1;
        }

        if (c == st.count && st.count > 0 && st.pos[st.count - 1] + 1 < st.total) {
            if (r > 0) {
                std::memmove(st.slot(0), st.slot(r), static_cast<std::size_t>(st.count - r) * kFileEntrySize);
                std::copy(st.pos + r, st.pos + st.count, st.pos);
                std::copy(st.dirty + r, st.dirty + st.count, st.dirty);
                c = st.count - r;
                r = 0;
                st.fillFrom(c, st.pos[c - 1] + 1);
            } else {
                refillMode = true;
                const std::int64_t next = st.pos[st.count - 1] + 1;
                for (int s = 1; s < st.count; ++s) st.evict(s, done);
                st.fillFrom(1, next);
                c = 1;
            }
        }

        if (done > threshold) {
            threshold = fileCount / 100 + static_cast<std::int32_t>(done);
            ui_.setProgressPosition(static_cast<std::int32_t>(done));
        }
        ui_.processEvents();
        if (!comparing) break;
    }
    if (groupOpen) closeGroup();

    file1_.close();
    file2_.close();
    compare_.reset();
    ui_.setProgressVisible(false);
    ui_.setStatusPanelMode(false);
    comparing = false;
}

}  // namespace parelix
