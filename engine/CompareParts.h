#pragma once
// What the comparison's size classes share: folder paths by index, the pace of progress and
// event turns, and the probes of the files coming next, asked of the readers ahead of use.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileListCursor.h"
#include "engine/Records.h"
#include "engine/RunState.h"
#include "engine/SearchUi.h"
#include "platform/ReadAhead.h"
#include "platform/WorkFile.h"

namespace parelix {

// What is read of every file of a size class first: enough to tell apart files that differ
// early, at the cost of one small read.
constexpr std::size_t kProbeSize = 4096;

// The comparison's bounds, fixed for a run.
struct CompareLimits {
    // Probes kept from the first reading, so that small files need no second opening; beyond
    // it, probes are read again when their set is split.
    std::size_t probeArena = 8u << 20;
    // Files of one set read side by side on descriptors held open; larger sets are read one
    // chunk at a time through the readers.
    std::size_t heldOpen = 16;
    // Threads that read ahead, and the reads asked at once: the probes of the files coming
    // next take most, a set's chunks the rest.
    unsigned readers = 16;
    std::size_t probesAhead = 64;
    std::size_t chunksAhead = 16;
    // Readers that share the probes with the comparison's thread while the files are in
    // memory: one, so that two processors read at once without a crowd of threads taking
    // turns on them (more made it slower); none on a single processor.
    unsigned warmReaders = 1;
    // The warm readers serve only while other programs leave a processor idle for them;
    // false: whatever the other programs do (benchmarks of the hand-offs).
    bool warmReadersFollowIdleProcessors = true;
    // Every digest equal, as if all chunks collided: the bytes alone must then sort the files
    // right (tests of the comparison's exactness).
    bool digestsCollide = false;
};

// What the last comparison left behind, for tests and benchmarks.
struct CompareTally {
    std::size_t slotsLeftAsked = 0;   // reader slots not released when it ended
    unsigned mostServing = 0;         // the most readers told to serve at once
};

// Directory index -> the directory's path with its backslash, from the directory list.
class DirectoryPaths {
public:
    DirectoryPaths(WorkFile& dirList, const DriveTable& drives) : dirList_(dirList), drives_(drives) {}
    const std::string& path(std::uint32_t index) { return slot(index).path; }
    // The same as a POSIX path without its trailing slash (the mount point alone for a
    // drive's root); nullopt when it names no drive.
    const std::optional<std::string>& posix(std::uint32_t index) { return slot(index).posix; }
    const DriveTable& drives() const { return drives_; }

private:
    static constexpr std::size_t kSlots = 16384;
    struct Slot {
        std::uint32_t index = UINT32_MAX;
        std::string path;
        std::optional<std::string> posix;
    };
    Slot& slot(std::uint32_t index);
    WorkFile& dirList_;
    const DriveTable& drives_;
    std::vector<Slot> slots_;
};

// A file's record, read again by number: its full path (cut to 255 characters), its POSIX
// path (empty when the whole path does not fit, or names no drive), its name.
struct FilePaths {
    std::string full;
    std::string posix;
    std::string name;
};
FilePaths filePaths(DirectoryPaths& dirs, FileEntryView record);
// Its POSIX path alone, as filePaths gives it: what opening it needs.
std::string posixPath(DirectoryPaths& dirs, FileEntryView record);

// The comparison's pace: the progress bar about once per hundredth of the files, an event
// turn after every step, and the Stop button's answer.
class CompareSteps {
public:
    CompareSteps(SearchUi& ui, const RunState& state, std::int32_t fileCount)
        : ui_(ui), state_(state), fileCount_(fileCount), threshold_(fileCount / 100) {}
    // After a step; `done` counts the records finished. False once Stop was pressed.
    bool step(std::int64_t done);
    // Between two reads of one step: the window stays alive. False once Stop was pressed.
    bool turn();

private:
    SearchUi& ui_;
    const RunState& state_;
    std::int32_t fileCount_;
    std::int64_t threshold_;
};

// Asks the readers for the probes of the files ahead in the sorted list: those of a size
// class of two or more (those recorded empty are only looked up).
// Reads its own cursor over the list, so the comparison's is not disturbed. While the disk
// is waited for, every reader serves, one read at a time, to keep the disk's queue full.
// While the files are in memory, at most `warmReaders` do, and only as many as there are
// processors that other programs leave idle beside the comparison's own: a reader waiting for
// a processor only delays the probes it took. They serve in batches, so that a wake-up is
// paid once for many files, and the comparison's thread reads itself any probe that no
// reader has started.
class ProbeLookahead {
public:
    // cursor: over a second handle on the sorted file list, open for reading; at most `slots`
    // probes asked at once. Only records the cursor has without waiting are looked at.
    ProbeLookahead(FileListCursor cursor, DirectoryPaths& dirs, ReadAhead& reads, std::size_t slots,
                   unsigned warmReaders, bool followIdleProcessors = true);
    ~ProbeLookahead();
    ProbeLookahead(const ProbeLookahead&) = delete;
    ProbeLookahead& operator=(const ProbeLookahead&) = delete;

    // Asks for more, up to its share of the readers' slots, while any reader serves.
    // `from`: the first record not yet read by the comparison.
    void fill(std::int64_t from);
    // What a read found: the disk waited for (after a few such reads close together, every
    // reader serves), or bytes already in memory (after a long enough run of them, only the
    // warm readers do).
    void noteRead(bool cached);
    // The disk was waited for lately: a set's chunks are worth asking of the readers too.
    bool waitingForDisk() const { return waiting_; }
    // The probe asked for this record, if any. Earlier ones nobody took are dropped.
    std::optional<ReadAhead::Ticket> take(std::int64_t record);

private:
    void serve();
    void lookAtProcessors();
    struct Asked {
        std::int64_t record;
        ReadAhead::Ticket ticket;
    };
    FileListCursor cursor_;
    DirectoryPaths& dirs_;
    ReadAhead& reads_;
    std::size_t slots_;
    std::deque<Asked> asked_;
    std::int32_t previousSize_ = 0;
    bool havePrevious_ = false;
    unsigned warmReaders_;
    bool followIdle_;
    unsigned warmNow_ = 0;      // the warm readers the idle processors allow now
    unsigned fewerSeen_ = 1;    // looks in a row that found fewer idle processors (the first decides alone)
    unsigned sinceLook_ = 0;    // reads noted since the processors were looked at
    bool waiting_ = false;
    unsigned inMemory_ = 0;   // reads in a row that found their bytes in memory
    unsigned recentWaits_ = 0;   // reads that waited for the disk, none far from the next
};

}  // namespace parelix
