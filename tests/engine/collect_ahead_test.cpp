// The collection walk with the folders listed ahead on a second thread: the same nodes,
// records and log as the walk alone, on a tree of shut folders, exclusions, unnameable names
// and paths too long, and stopped midway.
#include "tests/engine/collect_scene.h"

namespace parelix {
namespace {

// Everything a walk leaves that someone sees, to compare two walks of one tree.
struct WalkResult {
    std::vector<std::string> nodes;   // DirList depth first: depth, text, pictures, counter
    std::vector<std::string> dirs;    // directory records in order
    std::vector<std::string> files;   // file records in order: path, size, their node's place
    std::vector<std::string> log;
    int fileCount = 0;
    int dirCount = 0;
};

void expectSameWalk(const WalkResult& a, const WalkResult& b) {
    EXPECT_EQ(a.nodes, b.nodes);
    EXPECT_EQ(a.dirs, b.dirs);
    EXPECT_EQ(a.files, b.files);
    EXPECT_EQ(a.log, b.log);
    EXPECT_EQ(a.fileCount, b.fileCount);
    EXPECT_EQ(a.dirCount, b.dirCount);
}

// For as long as it lives, this thread (and the threads it starts) opens files as another
// user than root, for whom missing permission bits shut a folder.
class NotRoot {
public:
    NotRoot() {
        setfsuid(65534);
        ok_ = setfsuid(static_cast<uid_t>(-1)) == 65534;
    }
    ~NotRoot() { setfsuid(0); }
    bool ok() const { return ok_; }
private:
    bool ok_ = false;
};

class AheadUi : public test::FakeSearchUi {
public:
    std::function<void()> onSearchPathWalked;
    void searchPathWalked() override {
        if (onSearchPathWalked) onSearchPathWalked();
    }
};

// A tree with folders the other user cannot open or cannot look inside, exclusions, names
// with a backslash, a folder whose path passes the limit and a search path inside another:
// each walked with the folders listed ahead or not, and against the walk order of a plain
// listing taken folder by folder as the walk goes.
class WalkAheadTest : public CollectTest {
protected:
    void SetUp() override {
        CollectTest::SetUp();
        for (int k = 0; k < 30; ++k) {
            const std::string d = "d" + std::to_string(10 + k) + "/";
            tree_.write(d + "a", std::string(static_cast<std::size_t>(k), 'a'));
            tree_.write(d + "b", "b");
            tree_.write(d + "inner/c", "cc");
        }
        tree_.write("d15/odd\\file", "1");
        tree_.write("d16/odd\\folder/z", "1");
        // Lines from one folder, in the order its listing meets them.
        tree_.write("d17/" + std::string(255 - root_.size() - 5, 'l') + "/lost", "1");
        for (const char* odd : {"d17/odd\\1", "d17/odd\\2", "d17/odd\\3"}) tree_.write(odd, "1");
        for (const char* shut : {"locked", "listonly"}) {
            tree_.write(std::string(shut) + "/x", "x");
            tree_.write(std::string(shut) + "/sub/y", "y");
        }
        chmod((tree_.path() + "/locked").c_str(), 0);      // cannot be opened
        chmod((tree_.path() + "/listonly").c_str(), 0644);  // names read, none looked up
        chmod(tree_.path().c_str(), 0755);
        chmod(work_.path().c_str(), 0777);
        paths_ = {root_ + "\\d18", root_};
        exclusions_ = {root_ + "\\d13", root_ + "\\d14\\a"};
    }

    // Walks paths_ as the other user, the listings read ahead or not, the walk slowed at each
    // turn so that a helper runs far ahead; Stop is clicked in the `stopAt`-th folder's turn
    // (0: never).
    WalkResult walk(bool ahead, int stopAt = 0) {
        test::EnvVariable mode("PARELIX_WALK_AHEAD", ahead ? "1" : "0");
        ResultTrees trees;
        AheadUi ui;
        SearchEngine engine(trees, ui, services_);
        engine.startup();
        for (const std::string& name : {engine.fileListName(), engine.dirListName()})
            chmod(DriveTable::current().toPosix(name).value_or("").c_str(), 0666);
        int turns = 0;
        ui.onEventTurn = [&] {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (!ui.folder.empty() && engine.collecting() && ++turns == stopAt) engine.stop();
        };
        // Once stopped, nothing reads ahead any more.
        ui.onSearchPathWalked = [&] {
            if (!engine.collecting()) {
                EXPECT_EQ(ListingsAhead::helpersRunning(), 0u);
            }
        };
        {
            NotRoot user;
            EXPECT_TRUE(user.ok());
            engine.collectFiles(paths_, exclusions_);
        }
        EXPECT_EQ(ListingsAhead::helpersRunning(), 0u);

        WalkResult out;
        const auto addNodes = [&](auto& self, NodeId parent, int depth) -> void {
            for (NodeId c : trees.dirList.children(parent)) {
                out.nodes.push_back(std::to_string(depth) + " " + trees.dirList.text(c) + " " +
                                    std::to_string(trees.dirList.imageIndex(c)) + "/" +
                                    std::to_string(trees.dirList.selectedIndex(c)) + " " +
                                    std::to_string(trees.dirList.counter(c)));
                self(self, c, depth + 1);
            }
        };
        addNodes(addNodes, kNoNode, 0);
        out.dirs = readRecords(engine.dirListName(), kDirRecordSize, [](const std::uint8_t* r) { return decodeDirRecord(r); });
        for (const FileEntry& f : readRecords(engine.fileListName(), kFileEntrySize,
                                              [](const std::uint8_t* r) { return decodeFileEntry(r); })) {
            const NodeId up = trees.dirList.parent(f.node);
            out.files.push_back(out.dirs.at(f.dirIndex) + f.name + " " + std::to_string(f.size) + " " +
                                trees.dirList.text(f.node) + " in " + trees.dirList.text(up));
        }
        out.log = ui.log;
        out.fileCount = engine.fileCount();
        out.dirCount = engine.dirCount();
        engine.shutdown();
        return out;
    }

    // The walk as a plain listing gives it, each folder read entry by entry while the walk
    // goes down into the folders it meets: directory records, file paths, and the lines
    // about names and paths, in order.
    void walkAsListed(const std::string& path, std::set<std::pair<std::uint64_t, std::uint64_t>>& entered,
                      WalkResult& out) {
        if (path.size() + 1 > kShortStringMax) {
            out.log.push_back("Chemin trop long, répertoire ignoré : " + cut255(path));
            return;
        }
        DirEnumerator e(DriveTable::current());
        e.onUnnameable = [&](const std::string& name, bool folder) {
            out.log.push_back(std::string(folder ? "Nom contenant « \\ », répertoire ignoré : "
                                                 : "Nom contenant « \\ », fichier ignoré : ") + path + "\\" + name);
        };
        FindData fd;
        bool more = e.findFirst(path + "\\*.*", faAnyFile, fd);
        if (const auto id = e.folderIdentity(); id && !entered.insert({id->device, id->inode}).second) {
            out.log.push_back("Répertoire déjà parcouru, ignoré : " + path);
            return;
        }
        out.dirs.push_back(path + "\\");
        for (; more; more = e.findNext(fd)) {
            const std::string full = path + "\\" + fd.name;
            if (fd.name == "." || fd.name == ".." ||
                std::find(exclusions_.begin(), exclusions_.end(), full) != exclusions_.end())
                continue;
            if (fd.attributes & faDirectory) walkAsListed(full, entered, out);
            else out.files.push_back(full);
        }
    }

    std::vector<std::string> paths_;
    std::vector<std::string> exclusions_;
};

TEST_F(WalkAheadTest, SameWalkWithTheFoldersListedAhead) {
    const std::uint64_t takenBefore = ListingsAhead::takenFromHelper();
    const WalkResult alone = walk(false);
    EXPECT_EQ(ListingsAhead::takenFromHelper(), takenBefore);
    const WalkResult ahead = walk(true);
    EXPECT_GT(ListingsAhead::takenFromHelper(), takenBefore);
    expectSameWalk(alone, ahead);

    // Both walk in the order of the plain listing, and say what they say where it meets it.
    WalkResult listed;
    {
        NotRoot user;
        std::set<std::pair<std::uint64_t, std::uint64_t>> entered;
        for (const std::string& p : paths_) walkAsListed(p, entered, listed);
    }
    EXPECT_EQ(alone.dirs, listed.dirs);
    std::vector<std::string> filePaths;
    for (const std::string& f : alone.files) filePaths.push_back(f.substr(0, f.find(' ')));
    EXPECT_EQ(filePaths, listed.files);
    listed.log.insert(listed.log.begin(), "Collecte des informations");
    listed.log.push_back(std::to_string(listed.files.size()) + " fichiers dans " + std::to_string(listed.dirs.size()) +
                         " répertoires");
    EXPECT_EQ(alone.log, listed.log);

    // The shut folders are walked and empty; what they hold is nowhere.
    EXPECT_EQ(std::count(alone.dirs.begin(), alone.dirs.end(), root_ + "\\locked\\"), 1);
    EXPECT_EQ(std::count(alone.dirs.begin(), alone.dirs.end(), root_ + "\\listonly\\"), 1);
    for (const std::string& f : alone.files) EXPECT_EQ(f.find("\\sub\\"), std::string::npos) << f;
    // a, b and inner\\c of each folder but d13, and d14\\a, excluded.
    EXPECT_EQ(alone.fileCount, 30 * 3 - 3 - 1);
    EXPECT_EQ(alone.log.size(), 9u);
}

TEST_F(WalkAheadTest, SameWalkStoppedMidway) {
    const WalkResult alone = walk(false, 20);
    const WalkResult ahead = walk(true, 20);
    expectSameWalk(alone, ahead);
    EXPECT_GT(alone.dirCount, 10);
    EXPECT_LT(alone.dirCount, 40);
}

}  // namespace
}  // namespace parelix
