#pragma once
// Duplicate detection, one size class at a time.
//
// The groups, their order and their members are those of the pairwise walk over the sorted
// file list: each representative compared with every later file of its size, a match taking
// over as representative and exchanged to stand right after the previous one. That walk costs
// the square of a crowded class. Here every file of the class is read once up to its first
// few kilobytes and filed by their digest; the walk is then replayed on the class's sequence,
// its exchanges included, but a representative only meets the later files of its own digest
// bucket, which are confirmed byte by byte. The first bytes read (the probe) are kept, so a
// file is opened again only when it shares them with another and runs past them. Files of
// other buckets would have compared different, so skipping them changes neither a group nor
// the sequence.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/FileListCursor.h"
#include "engine/RunState.h"
#include "engine/SearchUi.h"
#include "platform/SearchedFile.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"

namespace parelix {

// Directory index -> the directory's path with its backslash, from the directory list.
class DirectoryPaths {
public:
    explicit DirectoryPaths(WorkFile& dirList) : dirList_(dirList) {}
    const std::string& path(std::uint32_t index);

private:
    static constexpr std::size_t kSlots = 16384;
    struct Slot {
        std::uint32_t index = UINT32_MAX;
        std::string path;
    };
    WorkFile& dirList_;
    std::vector<Slot> slots_;
};

// The comparison's pace: the progress bar about once per hundredth of the files, an event
// turn after every step, and the Stop button's answer.
class CompareSteps {
public:
    CompareSteps(SearchUi& ui, const RunState& state, std::int32_t fileCount)
        : ui_(ui), state_(state), fileCount_(fileCount), threshold_(fileCount / 100) {}
    // After a step; `done` counts the records finished. False once Stop was pressed.
    bool step(std::int64_t done);
    // Between two chunks of one long pair: the window stays alive. False once Stop was pressed.
    bool turn();

private:
    SearchUi& ui_;
    const RunState& state_;
    std::int32_t fileCount_;
    std::int64_t threshold_;
};

class SizeClassCompare {
public:
    SizeClassCompare(SearchUi& ui, ResultTrees& trees, FileListCursor& list, DirectoryPaths& dirs,
                     CompareSteps& steps, std::uint8_t* chunkA, std::uint8_t* chunkB);

    // Compares the size class whose first record the cursor gives next, and takes all its
    // records. False when Stop ended it; the groups made until then are complete.
    bool run();

private:
    static constexpr std::uint32_t kNotHeld = UINT32_MAX;
    static constexpr std::int32_t kNoBucket = -1;
    enum class State : std::uint8_t { Read, Empty, Unreadable };

    // What the class keeps of a file: a few tens of bytes, no name.
    struct ClassFile {
        std::uint32_t record = 0;        // record number in the file list
        NodeId node = kNoNode;
        std::uint64_t digest = 0;        // of the probe
        std::int64_t shownSize = 0;      // real size when known, for the group's text
        FileIdentity identity;
        std::uint32_t probeLength = 0;   // bytes read from its start, up to kProbeSize
        std::uint32_t held = kNotHeld;   // offset of those bytes in the arena
        std::int32_t bucket = kNoBucket; // digest bucket, when it has other files
        State state = State::Unreadable;
        bool identityKnown = false;
        bool whole = false;              // the file ended within the probe
        bool logged = false;             // " inaccessible" was logged
    };
    enum class Match { Same, Different, RepresentativeUnreadable, CandidateUnreadable, Stopped };

    // Reads the file's first chunk, identity and real size; an unreadable file is logged.
    void learn(ClassFile& file, const std::uint8_t* record, std::int32_t size, bool last);
    // Replays the pairwise walk on the class; false when Stop ended it.
    bool group();
    void fileBuckets();
    Match confirm(ClassFile& rep, ClassFile& cand);
    bool namesMemberFile(const ClassFile& rep, const ClassFile& cand) const;
    void logUnreadable(ClassFile& file);
    void addMember(NodeId group, const ClassFile& file);
    bool step();

    // The file's record, read again by number: its full path (cut to 255 characters), its
    // POSIX path (empty when the whole path does not fit), its name.
    struct Paths {
        std::string full;
        std::string posix;
        std::string name;
    };
    const Paths& pathsOf(const ClassFile& file);   // kept for the rest of the class
    const std::uint8_t* probeOf(const ClassFile& file, const Paths& paths, SearchedFile& opened,
                                std::uint8_t* buffer, std::size_t& length);
    Paths pathsOf(const std::uint8_t* record);
    void showPair(std::string_view first, std::string_view second);

    SearchUi& ui_;
    ResultTrees& trees_;
    FileListCursor& list_;
    DirectoryPaths& dirs_;
    CompareSteps& steps_;
    std::uint8_t* chunkA_;
    std::uint8_t* chunkB_;

    // The class.
    std::int64_t classStart_ = 0;
    std::vector<ClassFile> files_;
    std::vector<std::uint8_t> arena_;           // the probes read, up to a cap
    std::vector<std::uint32_t> sequence_;       // position -> file, exchanges applied
    std::vector<std::uint32_t> positionOf_;     // file -> position
    std::vector<std::set<std::uint32_t>> pending_;   // per bucket: positions still to be met
    std::unordered_map<std::uint32_t, Paths> paths_;  // per file met in a pair
    bool anyReadable_ = false;
    std::int64_t learned_ = 0;
    std::int64_t finished_ = 0;

    // The run: files (device and inode) already members of a group; one file, one group.
    std::unordered_set<FileIdentity, FileIdentityHash> members_;
    std::string shown_[2];
};

}  // namespace parelix
