#pragma once
// Duplicate detection, one size class at a time.
//
// The groups, their order and their members are those of the pairwise walk over the sorted
// file list: each representative compared with every later file of its size, a match taking
// over as representative and exchanged to stand right after the previous one. That walk costs
// the square of a crowded class. Here the files of the class are first split into sets of
// identical content, each file read about once: every file's first bytes (the probe) file it
// by their digest; the files that agree on them are then read on chunk by chunk, each chunk
// compared byte by byte with the same chunk of the set's first file, so that the ones that
// agree to their end are proven equal and the others split off by the digest of the chunk
// where they parted. Names of one file (hard links) are read once for all. The walk is then
// replayed on the class's sequence, its exchanges included, where a representative meets only
// the later files of its own content set, all equal to it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <set>
#include <vector>

#include "engine/CompareParts.h"
#include "engine/FileListCursor.h"
#include "engine/SearchUi.h"
#include "platform/ReadAhead.h"
#include "platform/SearchedFile.h"
#include "results/ResultTrees.h"

namespace parelix {

class SizeClassCompare {
public:
    SizeClassCompare(SearchUi& ui, ResultTrees& trees, FileListCursor& list, DirectoryPaths& dirs,
                     CompareSteps& steps, ReadAhead& reads, ProbeLookahead& ahead, const CompareLimits& limits,
                     std::uint8_t* chunkA, std::uint8_t* chunkB);

    // Compares the size class whose first record the cursor gives next, and takes all its
    // records. False when Stop ended it; the groups made until then are complete, and the one
    // being formed holds the members found so far.
    bool run();

private:
    static constexpr std::uint32_t kNotHeld = UINT32_MAX;
    static constexpr std::int32_t kAlone = -1;        // pairs with nothing
    static constexpr std::int32_t kUnsettled = -2;    // Stop came before its set was proven
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
        std::int32_t set = kAlone;       // its content set, once proven
        std::uint32_t carrier = 0;       // the file read for it: itself, or its first name
        State state = State::Unreadable;
        bool identityKnown = false;
        bool whole = false;              // the file ended within the probe
        bool logged = false;             // " inaccessible" was logged
    };
    // Files (carriers) that agree on every byte before `offset`.
    struct Pending {
        std::vector<std::uint32_t> files;
        std::uint64_t offset = 0;
    };
    // One chunk of a file as read: its bytes, and whether the file ended with them.
    struct Piece {
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        bool ended = false;
        bool opened = false;
    };

    // Learning: reads the file's probe, identity and real size; an unreadable file is logged.
    bool learnAll(std::int32_t size, bool& alone);
    void learn(ClassFile& file, FileEntryView record, std::int32_t size, bool last);
    void keepProbe(ClassFile& file, const std::uint8_t* data, std::size_t length, const FileStat& stat);

    // Splitting into content sets (SizeClassSplit.cpp); false when Stop cut it short.
    bool split(bool reading);
    void fileProbeBuckets(std::vector<Pending>& work);
    bool splitThroughReaders(Pending& item, std::vector<Pending>& work);
    // One pass over a set at one chunk: the leader's piece, the files equal to it so far
    // (the leader first), and those that parted ways, by what they read.
    struct SetPass {
        Piece lead;
        std::vector<std::uint32_t> same;
        std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> others;
    };
    Piece heldProbe(const ClassFile& file) const;
    static Piece answeredPiece(const ReadAhead::Answer& answer, std::uint64_t offset, std::size_t chunk);
    void takePiece(SetPass& pass, std::uint32_t index, const Piece& piece);
    bool splitSideBySide(Pending& item, std::vector<Pending>& work);
    void settle(const std::vector<std::uint32_t>& files, bool proven);
    Piece readHere(std::uint32_t file, std::uint64_t offset, std::size_t chunk, std::uint8_t* buffer);
    void partWays(const Piece& lead, std::vector<std::uint32_t>& same,
                  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>>& others, std::uint32_t file,
                  const Piece& piece);
    void queueParted(std::uint64_t offset, std::unordered_map<std::uint64_t, std::vector<std::uint32_t>>& others,
                     std::vector<Pending>& work);

    // Replays the pairwise walk on the class's sequence; false when Stop ended it.
    bool group(bool complete);
    void queueSetMembers();             // every file of a set, by position, and its names
    // The group of the representative at position i, its matches moved up behind it; i ends
    // on its last member. False when Stop ended it.
    bool groupFrom(std::uint32_t& i);
    void bringForward(std::uint32_t from, std::uint32_t to);
    void dropNamesOf(const ClassFile& file);
    void logUnreadable(ClassFile& file);
    void addMember(NodeId group, const ClassFile& file);
    bool step();

    const FilePaths& pathsOf(const ClassFile& file);   // kept for the rest of the class
    // Opens a file of the class on this thread; false when it cannot be read. Without
    // descriptors or memory it raises the input/output error instead: the search ends, no
    // file is called unreadable for the process's shortage.
    bool openFile(SearchedFile& file, const std::string& posixPath);
    std::uint32_t indexOf(const ClassFile& file) const {
        return static_cast<std::uint32_t>(&file - files_.data());
    }
    void showPair(std::string_view first, std::string_view second);

    SearchUi& ui_;
    ResultTrees& trees_;
    FileListCursor& list_;
    DirectoryPaths& dirs_;
    CompareSteps& steps_;
    ReadAhead& reads_;
    ProbeLookahead& ahead_;
    const CompareLimits& limits_;
    std::uint8_t* chunkA_;
    std::uint8_t* chunkB_;

    // The class.
    std::int64_t classStart_ = 0;
    std::vector<ClassFile> files_;
    // The probes read, up to a cap: taken whole at the first probe kept and kept for the
    // comparison, so that it is never copied as it grows, and only the pages written are
    // ever brought into memory.
    std::unique_ptr<std::uint8_t[]> arena_;
    std::size_t arenaUsed_ = 0;
    std::vector<std::uint32_t> sequence_;            // position -> file, exchanges applied
    std::vector<std::uint32_t> positionOf_;          // file -> position
    std::vector<std::set<std::uint32_t>> pending_;   // per set: positions still to be met
    std::unordered_map<FileIdentity, std::vector<std::uint32_t>, FileIdentityHash> names_;
    std::unordered_map<std::uint32_t, FilePaths> paths_;   // per file met in a pair
    std::int32_t sets_ = 0;
    bool reading_ = true;                            // until Stop: no read after it
    bool anyReadable_ = false;
    std::int64_t learned_ = 0;
    std::int64_t finished_ = 0;

    // The run: files (device and inode) already members of a group; one file, one group.
    std::unordered_set<FileIdentity, FileIdentityHash> members_;
    std::string shown_[2];
};

}  // namespace parelix
