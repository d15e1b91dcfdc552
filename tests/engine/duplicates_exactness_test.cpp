// Exactness on random trees: the groups must equal a brute-force grouping by content, and
// groups, their order, members and log lines must be those of the plain pairwise compare
// run on the whole sequence in memory, whatever the digests say and however the reads come.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include <map>
#include <random>
#include <set>

#include "engine/ContentDigest.h"
#include "platform/SearchedFile.h"
#include "tests/engine/duplicates_scene.h"

namespace parelix::test {
namespace {

struct Outcome {
    std::vector<Group> groups;
    std::vector<std::string> log;
};

// The pairwise compare over the sequence held whole in memory; contents are read once
// (nullopt: cannot be opened), identities from stat. A file is a member of one group at
// most, and an unreadable one is logged the first time a pair meets it.
class PlainPairwise {
public:
    explicit PlainPairwise(const DuplicateScene& s) : s_(s) { readFiles(); }

    Outcome run() {
        const std::size_t n = s_.sequence.size();
        std::vector<std::size_t> seq(n);
        for (std::size_t i = 0; i < n; ++i) seq[i] = i;
        std::size_t d = 0, c = 1;
        while (n > 0 && d < n - 1) {
            const std::size_t rep = seq[d];
            if (c < n && size(seq[c]) == size(rep)) {
                if (samePair(rep, seq[c])) {
                    if (!open_) out_.groups.push_back({"(" + std::to_string(size(rep)) + ")", {}});
                    addRep(rep);
                    ++d;
                    std::swap(seq[d], seq[c]);
                    open_ = true;
                }
                ++c;
            } else {
                if (open_) close(rep);
                ++d;
                c = d + 1;
            }
        }
        if (open_) close(seq[d]);
        return out_;
    }

private:
    using Id = std::pair<dev_t, ino_t>;

    void readFiles() {
        const std::size_t n = s_.sequence.size();
        content_.resize(n);
        id_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::string p = s_.posix(s_.sequence[i]);
            struct stat st {};
            if (::stat(p.c_str(), &st) == 0) id_[i] = Id{st.st_dev, st.st_ino};
            std::ifstream in(p, std::ios::binary);
            if (in) content_[i] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }

    std::int32_t size(std::size_t i) const { return s_.sequence[i].size(); }

    // Both opened first (empty files never are), then two names of one file are different,
    // then the bytes decide.
    bool samePair(std::size_t rep, std::size_t cand) {
        const bool oneFile = (id_[cand] && ((id_[rep] && *id_[rep] == *id_[cand]) || memberIds_.count(*id_[cand]))) ||
                             (id_[rep] && memberIds_.count(*id_[rep]));
        bool same = !oneFile;
        if (size(rep) != 0) {
            if (!content_[rep]) {
                logOnce(rep);
                same = false;
            } else if (!content_[cand]) {
                logOnce(cand);
                same = false;
            } else {
                same = same && *content_[rep] == *content_[cand];
            }
        }
        return same;
    }

    void addRep(std::size_t rep) {
        out_.groups.back().members.push_back(s_.fullPaths[rep]);
        if (id_[rep]) memberIds_.insert(*id_[rep]);
    }
    void close(std::size_t rep) {
        addRep(rep);
        sortMembers(out_.groups.back().members);
        open_ = false;
    }
    void logOnce(std::size_t file) {
        if (logged_.insert(file).second) out_.log.push_back(s_.fullPaths[file] + " inaccessible");
    }

    const DuplicateScene& s_;
    std::vector<std::optional<std::string>> content_;
    std::vector<std::optional<Id>> id_;
    Outcome out_;
    std::set<Id> memberIds_;
    std::set<std::size_t> logged_;
    bool open_ = false;   // a group is being filled
};

Outcome plainPairwise(const DuplicateScene& s) { return PlainPairwise(s).run(); }

// A file by device and inode; a path that names none (an empty file gone since the walk)
// stands for a file of its own.
using Identity = std::pair<std::uint64_t, std::uint64_t>;
Identity identityOf(const std::string& posixPath) {
    struct stat st {};
    if (::stat(posixPath.c_str(), &st) != 0) return {UINT64_MAX, std::hash<std::string>{}(posixPath)};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// Per content, the files holding it, when they are two or more: what the groups must cover,
// one name per file.
using FileSets = std::set<std::set<Identity>>;
template <typename Key>
FileSets filesByContent(const std::map<Key, std::set<std::string>>& posixByContent) {
    FileSets out;
    for (const auto& [key, paths] : posixByContent) {
        std::set<Identity> ids;
        for (const auto& p : paths) ids.insert(identityOf(p));
        if (ids.size() >= 2) out.insert(ids);
    }
    return out;
}

// The files of each group; a group that names one file twice fails.
FileSets filesOfGroups(const std::vector<Group>& groups, const std::map<std::string, std::string>& posixOf) {
    FileSets out;
    for (const auto& g : groups) {
        std::set<Identity> ids;
        for (const auto& m : g.members) ids.insert(identityOf(posixOf.at(m)));
        EXPECT_EQ(ids.size(), g.members.size()) << "one file twice in " << g;
        out.insert(ids);
    }
    return out;
}

// Files of equal size and content, unreadable files only when empty.
FileSets bruteForce(const DuplicateScene& s) {
    std::map<std::pair<std::int32_t, std::string>, std::set<std::string>> byContent;
    for (const SceneFile& f : s.sequence) {
        std::ifstream in(s.posix(f), std::ios::binary);
        if (!in && f.size() != 0) continue;
        byContent[{f.size(), f.size() == 0 ? "" : f.content}].insert(s.posix(f));
    }
    return filesByContent(byContent);
}

// A random tree: spread and clustered sizes, copies in twos and dozens, variants that differ
// only in their last byte, empty files, chunk-sized files, one crowded size class far
// larger than the window with copies scattered through it, and a crowd sharing a long
// beginning that parts at random later offsets, with copies and other names of one file.
// Some files vanish after the walk.
struct TreeMaker {
    std::mt19937 rng;
    std::vector<SceneFile> files;
    std::vector<std::string> removed;
    std::vector<std::pair<std::string, std::string>> links;   // target, other name
    int serial = 0;
    int crowdMax = 760;

    explicit TreeMaker(unsigned seed) : rng(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    std::string randomBytes(std::size_t n) {
        std::string s(n, '\0');
        for (auto& ch : s) ch = static_cast<char>(pick(0, 255));
        return s;
    }

    void add(const std::string& content) {
        static const char* folders[] = {"", "a", "a/deep", "b", "b/x/y", "c d"};
        const std::string folder = folders[pick(0, 5)];
        files.push_back({(folder.empty() ? "" : folder + "/") + "f" + std::to_string(serial++) + ".bin", content});
        if (content.size() > 0 && pick(0, 99) == 0) removed.push_back(files.back().rel);
    }

    // count files of one size drawn from `variants` contents, which differ only in the last byte
    // or entirely, so that copies come in twos, dozens, or not at all.
    void sizeClass(std::size_t size, int count, int variants) {
        std::vector<std::string> contents;
        const std::string base = randomBytes(size);
        for (int v = 0; v < variants; ++v) {
            std::string c = pick(0, 1) ? base : randomBytes(size);
            if (size > 0) c.back() = static_cast<char>(v);
            contents.push_back(std::move(c));
        }
        for (int i = 0; i < count; ++i) add(contents[static_cast<std::size_t>(pick(0, variants - 1))]);
    }

    void make() {
        for (int i = 0; i < 120; ++i) sizeClass(static_cast<std::size_t>(pick(1, 5000)), 1, 1);   // spread
        for (int i = 0; i < 12; ++i) sizeClass(static_cast<std::size_t>(pick(1, 300)), pick(2, 30), pick(1, 8));
        sizeClass(0, pick(0, 8), 1);
        const std::size_t chunk = kBlockBufferSize;
        sizeClass(chunk, pick(2, 6), 2);
        sizeClass(2 * chunk, pick(2, 5), 2);
        sizeClass(3 * chunk - 1, pick(2, 4), 2);
        // The crowded class: mostly distinct files with a few copies scattered through.
        const std::size_t crowdSize = static_cast<std::size_t>(pick(20, 64));
        const int crowd = pick(crowdMax * 4 / 5, crowdMax);
        std::vector<std::string> copies;
        for (int v = 0; v < pick(3, 9); ++v) copies.push_back(randomBytes(crowdSize));
        for (int i = 0; i < crowd; ++i) {
            if (pick(0, 99) < 6)
                add(copies[static_cast<std::size_t>(pick(0, static_cast<int>(copies.size()) - 1))]);
            else
                add(randomBytes(crowdSize));
        }
        sharedBeginning();
    }

    // Files of one size past two chunks that agree on their first 100,000 bytes and part ways
    // after them; some copies, and some other names of an earlier file of the crowd.
    void sharedBeginning() {
        const std::size_t size = 2 * kBlockBufferSize + static_cast<std::size_t>(pick(1, 9000));
        const std::string head = randomBytes(100000);
        auto variant = [&] {
            std::string c = head + randomBytes(size - head.size());
            // Some agree on a further stretch, so that they part inside a later chunk.
            const std::size_t from = static_cast<std::size_t>(pick(100000, static_cast<int>(size) - 1));
            c.replace(100000, from - 100000, std::string(from - 100000, 'z'));
            return c;
        };
        std::vector<std::string> copies{variant(), variant()};
        const std::size_t first = files.size();
        for (int i = pick(30, 50); i > 0; --i) {
            const int roll = pick(0, 99);
            if (roll < 12) {
                add(copies[static_cast<std::size_t>(pick(0, 1))]);
            } else if (roll < 20 && files.size() > first) {
                const SceneFile& target = files[static_cast<std::size_t>(
                    pick(static_cast<int>(first), static_cast<int>(files.size()) - 1))];
                const std::string content = target.content, rel = target.rel;
                add(content);
                links.emplace_back(rel, files.back().rel);
            } else {
                add(variant());
            }
        }
    }

    // After the files are written: the other names are made, unless either side vanishes.
    void makeLinks(DuplicateScene& s) const {
        for (const auto& [target, name] : links) {
            const bool gone = std::count(removed.begin(), removed.end(), target) ||
                              std::count(removed.begin(), removed.end(), name);
            if (!gone) s.relink(target, name);
        }
    }

    // Decreasing size; within a size a random order, as the sort leaves it.
    std::vector<SceneFile> sequence() {
        std::shuffle(files.begin(), files.end(), rng);
        return files;
    }
};

// Reads of at most a few bytes, as network and FUSE file systems may give in mid-file; the
// readers ahead call it from their threads.
ssize_t shortRead(int fd, void* buffer, std::size_t count) {
    static std::atomic<unsigned> turn = 0;
    return ::read(fd, buffer, std::min<std::size_t>(count, 1 + (++turn % 4093)));
}

struct Variant {
    unsigned seed;
    bool digestsCollide;   // every chunk of every file files alike: only the bytes decide
    bool shortReads;
    bool smallArena = false;   // probes are not kept: they are read again when compared
    bool readsAlone = false;   // no reader shares the probes while the files are in memory
};

class DuplicatesExactness : public ::testing::TestWithParam<Variant> {};

TEST_P(DuplicatesExactness, GroupsEqualBruteForceAndThePlainPairwiseCompare) {
    TreeMaker maker(GetParam().seed);
    // Colliding digests make the crowded class pairwise again: keep it smaller there.
    if (GetParam().digestsCollide) maker.crowdMax = 250;
    maker.make();
    DuplicateScene s;
    if (GetParam().smallArena) s.engine.compareLimits().probeArena = 3 * kProbeSize;
    s.engine.compareLimits().digestsCollide = GetParam().digestsCollide;
    if (GetParam().readsAlone) s.engine.compareLimits().warmReaders = 0;
    // The warm reader shares the probes however busy the machine running the tests is.
    s.engine.compareLimits().warmReadersFollowIdleProcessors = false;
    if (GetParam().shortReads) s.services.readCall = &shortRead;
    s.buildSorted(maker.sequence());
    maker.makeLinks(s);
    for (const auto& rel : maker.removed) s.remove(rel);

    const Outcome plain = plainPairwise(s);
    s.findDuplicates();

    const auto groups = s.groups();
    std::map<std::string, std::string> posixOf;
    for (std::size_t i = 0; i < s.sequence.size(); ++i) posixOf[s.fullPaths[i]] = s.posix(s.sequence[i]);
    const FileSets found = filesOfGroups(groups, posixOf);
    EXPECT_EQ(found, bruteForce(s));
    EXPECT_EQ(found.size(), groups.size()) << "a group was made twice";
    ASSERT_EQ(groups.size(), plain.groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(groups[i], plain.groups[i]) << "group " << i;
    EXPECT_EQ(s.compareLog(), plain.log);
    s.expectConsistentTrees();
    EXPECT_EQ(s.engine.compareTally().slotsLeftAsked, 0u) << "a reader slot was never released";
    // Short reads never come from memory as far as the comparison can tell: the disk is
    // waited for, so every reader serves.
    if (GetParam().shortReads) {
        EXPECT_EQ(s.engine.compareTally().mostServing, s.engine.compareLimits().readers);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, DuplicatesExactness,
                         ::testing::Values(Variant{1, false, false}, Variant{2, false, false},
                                           Variant{3, false, false}, Variant{4, false, false},
                                           Variant{5, false, false}, Variant{6, false, false},
                                           Variant{7, true, false}, Variant{8, false, true},
                                           Variant{9, true, true}, Variant{10, true, false, true},
                                           Variant{11, false, true, true}, Variant{12, false, false, false, true}),
                         [](const ::testing::TestParamInfo<Variant>& variant) {
                             return "seed" + std::to_string(variant.param.seed) +
                                    (variant.param.digestsCollide ? "_collidingDigests" : "") +
                                    (variant.param.shortReads ? "_shortReads" : "") +
                                    (variant.param.smallArena ? "_probesReadAgain" : "") +
                                    (variant.param.readsAlone ? "_readsAlone" : "");
                         });

// Reads of the whole count asked, through a call of their own: nothing seems to be in
// memory, so the readers serve the chunks.
ssize_t plainRead(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }

TEST(DuplicatesExactnessChunkEdges, FilesThatDifferOnlyAtEitherSideOfAChunkEdgeArePartedThroughEveryPath) {
    // The probe ends at 4096, the first long chunk a chunk later, the second one more after.
    const std::size_t probeEnd = kProbeSize, firstEnd = probeEnd + kContentChunkSize,
                      secondEnd = firstEnd + kContentChunkSize;
    std::vector<std::size_t> edges;
    for (const std::size_t end : {probeEnd, firstEnd, secondEnd}) edges.insert(edges.end(), {end - 1, end});
    std::mt19937 rng(5);
    std::string base(secondEnd + 300, '\0');
    for (auto& c : base) c = static_cast<char>(rng());
    // Two copies of the base and two of each variant: each pair is one group, nothing more.
    std::vector<SceneFile> files;
    for (int copy = 0; copy < 2; ++copy) {
        files.push_back({"base" + std::to_string(copy), base});
        for (const std::size_t at : edges) {
            std::string variant = base;
            variant[at] = static_cast<char>(variant[at] ^ 0x40);
            files.push_back({"at" + std::to_string(at) + "_" + std::to_string(copy), variant});
        }
    }
    std::shuffle(files.begin(), files.end(), rng);
    struct Path {
        const char* name;
        std::size_t heldOpen;
        ReadCall read;
    };
    for (const Path path : {Path{"side by side", 100, &::read}, Path{"side by side, short reads", 100, &shortRead},
                            Path{"one chunk at a time, read here", 0, &::read},
                            Path{"one chunk at a time, by the readers", 0, &plainRead}}) {
        SCOPED_TRACE(path.name);
        DuplicateScene s;
        s.engine.compareLimits().heldOpen = path.heldOpen;
        s.services.readCall = path.read;
        s.buildSorted(files);
        const Outcome plain = plainPairwise(s);
        s.findDuplicates();
        EXPECT_EQ(s.groups().size(), edges.size() + 1);
        EXPECT_EQ(s.groups(), plain.groups);
        EXPECT_EQ(s.engine.compareTally().slotsLeftAsked, 0u);
        if (path.read == &plainRead) {
            EXPECT_GT(s.engine.compareTally().mostServing, 1u);
        }
    }
}

TEST(DuplicatesExactnessFullRun, WalkSortAndCompareGroupByContent) {
    // The whole search run on a random tree; some files vanish once the walk is over.
    TreeMaker maker(77);
    maker.make();
    DuplicateScene s;
    for (const auto& f : maker.files) s.dir.write(f.rel, f.content);
    maker.makeLinks(s);
    s.ui.onEventTurn = [&] {
        if (!s.ui.log.empty() && s.ui.log.back() == "Tri des fichiers par taille") {
            for (const auto& rel : maker.removed) ::unlink((s.dir.path() + "/" + rel).c_str());
            maker.removed.clear();
        }
    };
    s.engine.searchRun({s.rootWin});
    ASSERT_EQ(s.engine.fileCount(), static_cast<std::int32_t>(maker.files.size()));

    std::map<std::pair<std::size_t, std::string>, std::set<std::string>> byContent;
    std::map<std::string, std::string> posixOf;
    for (const auto& f : maker.files) {
        const std::string posix = s.dir.path() + "/" + f.rel;
        posixOf[s.win(f.rel)] = posix;
        if (f.content.empty() || ::access(posix.c_str(), F_OK) == 0) byContent[{f.content.size(), f.content}].insert(posix);
    }
    EXPECT_EQ(filesOfGroups(s.groups(), posixOf), filesByContent(byContent));

    std::int64_t lastSize = INT64_MAX;
    for (const auto& g : s.groups()) {
        const std::int64_t size = std::stoll(g.text.substr(1));
        EXPECT_LE(size, lastSize) << "groups come by decreasing size";
        lastSize = size;
    }
    s.expectConsistentTrees();
    EXPECT_EQ(s.ui.log.back(), "Fini !");
}

// What a search run shows: every log line, the phases in order, the progress, the groups.
struct Shown {
    std::vector<std::string> log, phases;
    std::vector<std::int64_t> progress;
    std::vector<Group> groups;
    bool operator==(const Shown&) const = default;
};

Shown searchRun(DuplicateScene& s, FileListSort::Ahead ahead) {
    s.ui.phases.clear();
    s.ui.progressPositions.clear();
    s.engine.sortStage().setAhead(ahead);
    s.engine.searchRun({s.rootWin});
    return {s.ui.log, s.ui.phases, s.ui.progressPositions, s.groups()};
}

TEST(DuplicatesExactnessFullRun, SortingAheadOfTheWalkAndComparingDuringTheLastMergeChangeNothingShown) {
    using namespace std::chrono_literals;
    for (const unsigned seed : {1u, 2u, 8u, 77u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TreeMaker maker(seed);
        maker.make();
        DuplicateScene s;
        for (const auto& f : maker.files) s.dir.write(f.rel, f.content);
        maker.makeLinks(s);
        const Shown after = searchRun(s, FileListSort::Ahead::Never);
        ASSERT_GT(maker.files.size(), 4 * kSortBlockRecords) << "the last merge should be several blocks long";

        // The walk slow beside the sort, which then waits for each folder's records; the last
        // merge slow beside the comparison, which then waits for each block of it.
        s.ui.onEventTurn = [&] {
            if (s.ui.phases.size() == 1) std::this_thread::sleep_for(2ms);
        };
        s.engine.sortStage().paceForTests = [] { std::this_thread::sleep_for(5ms); };
        const Shown ahead = searchRun(s, FileListSort::Ahead::Always);
        EXPECT_EQ(ahead.groups, after.groups);
        EXPECT_EQ(ahead.log, after.log);
        EXPECT_EQ(ahead.phases, after.phases);
        EXPECT_EQ(ahead.progress, after.progress);
        s.expectConsistentTrees();
        for (int level = 0; level < 8; ++level)
            for (int side = 0; side < 2; ++side) {
                const std::string run = FileListSort::runFileName(s.engine.fileListName(), level, side);
                EXPECT_NE(::access(DriveTable::current().toPosix(run).value().c_str(), F_OK), 0) << run << " left";
            }
    }
}

}  // namespace
}  // namespace parelix::test
