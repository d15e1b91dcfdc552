// The program itself on a real X display, driven as a person drives it: real pointer and
// key events, what the screen shows, and what the window system reads as captions. Skipped
// when Xvfb, xdotool, ImageMagick's import, xprop or xdpyinfo is missing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/RealDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace parelix::test {
namespace {

// Places in the main window at its design size, from its top-left corner.
constexpr int kDskListBlankX = 90, kDskListBlankY = 400;
constexpr int kTrashX = 226, kTrashY = 23;
constexpr int kDblLeft = 210, kDblRight = 630, kDblTop = 77, kDblBottom = 340;
constexpr int kDirLeft = 6, kDirRight = 190, kDirTop = 20, kDirBottom = 468;

const char* const kMainTitle = "Parelix - Sélection des chemins à scruter";

// A folder directly under /tmp, reached in the drive tree as C:\tmp\<name>, removed at the end.
class Scene {
public:
    Scene() {
        std::string base = "/tmp/pxui-XXXXXX";
        if (!mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
        path_ = base;
    }
    ~Scene() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string name() const { return fs::path(path_).filename(); }
    std::string write(const std::string& relative, const std::string& content) const {
        const fs::path p = fs::path(path_) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    // A file of the given size, a hole but for its last bytes: slow enough to compare that a
    // search run lasts a second, and no room taken on disk.
    void sparse(const std::string& relative, std::size_t size, const std::string& tail) const {
        const fs::path p = fs::path(path_) / relative;
        fs::create_directories(p.parent_path());
        const int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(size - tail.size())),
                  static_cast<ssize_t>(tail.size()));
        close(fd);
    }
    bool has(const std::string& relative) const { return fs::exists(fs::path(path_) / relative); }

private:
    std::string path_;
};

class RealDisplayTest : public ProgramOnDisplayTest {
protected:
    RealDisplayTest() : ProgramOnDisplayTest(PARELIX_PROGRAM, "pxui-home", "real-display") {}

    void SetUp() override {
        ProgramOnDisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The desktop's application for text, one that notes what it is asked to open. It
        // is launched as the association names it: no opener of the desktop is on the PATH.
        fs::create_directories(home() + "/bin");
        const std::string opener = home() + "/bin/opener";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << home() << "/opens.log'\n";
        fs::permissions(opener, fs::perms::owner_all);
        // The program opens only what the desktop associates with an application.
        fs::create_directories(home() + "/data/applications");
        std::ofstream(home() + "/data/applications/parelix-test-opener.desktop")
            << "[Desktop Entry]\nType=Application\nName=Opener\nExec=" << opener
            << " %u\nMimeType=text/plain;application/octet-stream;\n";
        std::ofstream(home() + "/data/applications/mimeapps.list")
            << "[Default Applications]\ntext/plain=parelix-test-opener.desktop\n"
               "application/octet-stream=parelix-test-opener.desktop\n";
    }

    std::vector<std::string> opened() const {
        std::ifstream in(home() + "/opens.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Starts the program, waits for its window and the end of its splash, puts the scene's
    // folder in the search list through the drive tree's keyboard, and starts the search.
    void startAndSearch(const Scene& scene) {
        ASSERT_NO_FATAL_FAILURE(startProgram({{"PATH", home() + "/bin:/usr/bin:/bin"}}));

        // Type-ahead goes on from the text typed less than 0.4 s before: pause between names.
        display_->click(x0_ + kDskListBlankX, y0_ + kDskListBlankY);
        for (const std::string& name : {std::string("C:"), std::string("tmp"), scene.name()}) {
            if (name != "C:") display_->key("Right");
            display_->type(name);
            std::this_thread::sleep_for(500ms);
        }
        // A mnemonic clicks its button a tenth of a second later; Cherche is enabled by Ajoute.
        display_->key("alt+a");
        std::this_thread::sleep_for(300ms);
        display_->key("alt+c");
    }

    // Two groups, x1 with x2 and y1 with y2 (the 1s under first, the 2s under second),
    // searched to the end: DirList then has the focus.
    void searchTwoPairs(const Scene& scene, const std::string& first, const std::string& second) {
        scene.write(first + "x1", "twin x");
        scene.write(second + "x2", "twin x");
        scene.write(first + "y1", "twin y!");
        scene.write(second + "y2", "twin y!");
        ASSERT_NO_FATAL_FAILURE(startAndSearch(scene));
        ASSERT_TRUE(waitForMarkedRows(true, 4, 20s));
        std::this_thread::sleep_for(500ms);   // the run is over
    }

    // Centres of the duplicate marks shown in a tree, top to bottom.
    std::vector<int> markedRows(bool dblList) {
        const Screenshot shot = display_->screenshot();
        if (dblList) return shot.bands(x0_ + kDblLeft, x0_ + kDblRight, y0_ + kDblTop, y0_ + kDblBottom, isMarkRed);
        return shot.bands(x0_ + kDirLeft, x0_ + kDirRight, y0_ + kDirTop, y0_ + kDirBottom, isMarkRed);
    }
    bool highlighted(int y, bool dblList) {
        const Screenshot shot = display_->screenshot();
        const int left = x0_ + (dblList ? kDblLeft : kDirLeft);
        const int right = x0_ + (dblList ? kDblRight : kDirRight);
        return !shot.bands(left, right, y - 2, y + 3, isHighlight, 20).empty();
    }
    // False at once when the program has ended (TearDown tells how).
    bool waitForMarkedRows(bool dblList, std::size_t count, std::chrono::milliseconds timeout,
                           std::vector<int>* rows = nullptr, bool orMore = false) {
        bool ended = false;
        const bool found = waitUntil(
            [&] {
                if (!program_.running()) {
                    ended = true;
                    return true;
                }
                std::vector<int> marks = markedRows(dblList);
                if (rows) *rows = marks;
                return marks.size() == count || (orMore && marks.size() > count);
            },
            timeout, 20ms);
        return found && !ended;
    }
    // Clicks the trash until the shell's question shows: a click while the run still builds
    // the trees does nothing.
    bool trashUntilAsked(std::string* dialog) {
        return waitUntil(
            [&] {
                if (!program_.running()) return false;
                display_->click(x0_ + kTrashX, y0_ + kTrashY);
                return display_->waitForWindow("^Confirmer la suppression", 700ms, dialog);
            },
            20s, 0ms);
    }
};

// The run shows each batch of groups as it finds them. A member clicked while the run still
// compares (a moment before "Fini !") stays selected and focused, and the trash acts on it,
// never on the search root the run selects at its end.
TEST_F(RealDisplayTest, TheTrashActsOnTheRowClickedAsTheRunEnds) {
    Scene scene;
    constexpr std::size_t kMiB = 1024 * 1024;
    ASSERT_NO_FATAL_FAILURE(scene.sparse("big1", 96 * kMiB, "first group"));   // the largest: grouped first
    ASSERT_NO_FATAL_FAILURE(scene.sparse("sub/big2", 96 * kMiB, "first group"));
    // Smaller files that agree up to their last bytes keep the comparison busy while the first
    // group is shown: each is read once to its end, about four gigabytes of holes in all. Holes
    // read at the speed of memory: with free pages at hand a gigabyte went in under 0.3 s, and
    // the first group then showed with the last in one batch.
    for (int i = 10; i <= 57; ++i)
        ASSERT_NO_FATAL_FAILURE(scene.sparse("mid" + std::to_string(i), 90 * kMiB, "slow " + std::to_string(i)));
    scene.write("small1", "last group");               // the smallest: grouped last
    scene.write("sub/small2", "last group");
    ASSERT_NO_FATAL_FAILURE(startAndSearch(scene));

    std::vector<int> rows;
    ASSERT_TRUE(waitForMarkedRows(true, 2, 30s, &rows)) << "the first group never showed alone";
    display_->click(x0_ + 320, rows[0]);
    // The clicked row's icon shows selected, without its red disc.
    ASSERT_TRUE(waitForMarkedRows(true, 3, 30s, nullptr, true)) << "the last group never showed";
    std::string dialog;
    ASSERT_TRUE(trashUntilAsked(&dialog));
    EXPECT_EQ(display_->windowName(dialog), "Confirmer la suppression");
    EXPECT_TRUE(highlighted(rows[0], true));
    display_->key("Return");   // Oui

    EXPECT_TRUE(waitUntil([&] { return !scene.has("big1"); }, 10s));
    EXPECT_TRUE(trashHolds("big1"));
    EXPECT_TRUE(scene.has("sub/big2"));
    EXPECT_TRUE(fs::exists(scene.path()));
}

// A right click on a folder of DirList selects it before PopMenu opens: "Supprime les
// doubles de ce répertoire" sends that folder's duplicates to the recycle bin, not those of
// the folder selected before.
TEST_F(RealDisplayTest, PopMenuActsOnTheFolderRightClicked) {
    Scene scene;
    ASSERT_NO_FATAL_FAILURE(searchTwoPairs(scene, "a/", "b/"));
    // Open the search root, a and b: each folder's row lies one above its two marked files.
    for (const char* keys : {"Right", "Down", "Right", "Down", "Down", "Down", "Right"}) display_->key(keys);
    std::vector<int> files;
    ASSERT_TRUE(waitForMarkedRows(false, 4, 5s, &files));
    const int rowHeight = files[1] - files[0];
    const std::vector<int> folders{files[0] - rowHeight, files[2] - rowHeight};
    display_->click(x0_ + 60, folders[0]);   // a
    ASSERT_TRUE(waitUntil([&] { return highlighted(folders[0], false); }, 3s));

    display_->xdotool({"mousemove", std::to_string(x0_ + 60), std::to_string(folders[1]), "click", "3"});
    ASSERT_TRUE(waitUntil([&] { return highlighted(folders[1], false) && !highlighted(folders[0], false); }, 3s))
        << "the right click did not select b";
    // The menu opens on its first item, the previous; then the next, then the folder's duplicates.
    for (const char* keys : {"Down", "Down", "Return"}) display_->key(keys);
    EXPECT_TRUE(waitUntil([&] { return !scene.has("b/x2") && !scene.has("b/y2"); }, 10s));
    EXPECT_TRUE(trashHolds("x2") && trashHolds("y2"));
    EXPECT_TRUE(scene.has("a/x1") && scene.has("a/y1"));
}

// One double click in a row's band right of its text opens the selected file once. The
// captions the window system shows are the program's own.
TEST_F(RealDisplayTest, ADoubleClickBesideARowOpensOnceAndCaptionsAreExact) {
    Scene scene;
    scene.write("a1", "same bytes");
    scene.write("sub/a2", "same bytes");
    scene.write("b", "other bytes");
    ASSERT_NO_FATAL_FAILURE(startAndSearch(scene));
    EXPECT_EQ(display_->windowName(main_), kMainTitle);

    std::vector<int> rows;
    ASSERT_TRUE(waitForMarkedRows(true, 2, 20s, &rows));
    std::this_thread::sleep_for(500ms);   // the run is over
    display_->click(x0_ + 320, rows[0]);
    ASSERT_TRUE(waitUntil([&] { return highlighted(rows[0], true); }, 3s));
    display_->doubleClick(x0_ + kDblRight - 20, rows[0]);
    EXPECT_TRUE(waitUntil([&] { return !opened().empty(); }, 5s));
    std::this_thread::sleep_for(700ms);   // a second opening would come now
    ASSERT_EQ(opened().size(), 1u);
    EXPECT_EQ(opened()[0], scene.path() + "/a1");   // GIO hands a local file over as its path

    // The other copy is gone from the disk: the trash refuses, in a box captioned "Erreur".
    fs::remove(scene.path() + "/sub/a2");
    display_->click(x0_ + kTrashX, y0_ + kTrashY);
    std::string box;
    ASSERT_TRUE(display_->waitForWindow("^Erreur", 5s, &box));
    EXPECT_EQ(display_->windowName(box), "Erreur");
    display_->key("Return");
    EXPECT_TRUE(display_->waitForNoWindow("^Erreur", 5s));
    EXPECT_TRUE(scene.has("a1"));
}

// DirList's nodes go to the trash by a real drag: the view's own drag of the node under the
// pointer, and the drag of the selected node started from the empty area below the nodes.
// A drop on a fixed drive asks nothing.
TEST_F(RealDisplayTest, DragsFromDirListOntoTheTrash) {
    Scene scene;
    ASSERT_NO_FATAL_FAILURE(searchTwoPairs(scene, "", ""));
    display_->key("Right");               // open the search root
    std::vector<int> files;
    ASSERT_TRUE(waitForMarkedRows(false, 4, 5s, &files));

    display_->drag(x0_ + 60, files[0], x0_ + kTrashX, y0_ + kTrashY);
    EXPECT_TRUE(waitUntil([&] { return !scene.has("x1"); }, 5s));
    EXPECT_TRUE(trashHolds("x1"));
    EXPECT_TRUE(display_->windows("^Confirmer").empty());

    ASSERT_TRUE(waitForMarkedRows(false, 2, 5s, &files));   // x2 lost its copy and its mark
    display_->click(x0_ + 60, files[1]);                     // y2
    ASSERT_TRUE(waitUntil([&] { return highlighted(files[1], false); }, 3s));
    display_->drag(x0_ + kDirRight - 20, y0_ + kDirBottom - 20, x0_ + kTrashX, y0_ + kTrashY);
    EXPECT_TRUE(waitUntil([&] { return !scene.has("y2"); }, 5s));
    EXPECT_TRUE(trashHolds("y2"));
    EXPECT_TRUE(scene.has("x2") && scene.has("y1"));
}

// "Supprime les doubles de ce répertoire" on an open folder, while DblList's selection lies
// on one of its files: as members go, DblList picks others, whose files lie in a closed
// folder. That folder stays closed, and DirList neither scrolls nor moves its selection.
TEST_F(RealDisplayTest, AWalkLeavesTheFoldersAndTheScrollOfDirListAsTheyWere) {
    Scene scene;
    for (std::size_t i = 1; i <= 4; ++i) {
        const std::string bytes(100 * i, static_cast<char>('a' + i));
        scene.write("B/b" + std::to_string(i), bytes);
        scene.write("C/c" + std::to_string(i), bytes);
    }
    scene.write("C/cx", "a pair that stays");
    scene.write("C/cy", "a pair that stays");
    ASSERT_NO_FATAL_FAILURE(startAndSearch(scene));
    std::vector<int> members;
    ASSERT_TRUE(waitForMarkedRows(true, 10, 20s, &members));
    std::this_thread::sleep_for(500ms);   // the run is over
    display_->click(x0_ + 320, members[0]);   // a file of B: DirList opens B for it
    std::vector<int> dirRows;
    ASSERT_TRUE(waitForMarkedRows(false, 5, 5s, &dirRows));   // b1..b4, and C closed
    const int rowHeight = dirRows[1] - dirRows[0];
    const int yB = dirRows[0] - rowHeight;
    display_->click(x0_ + 60, yB);
    ASSERT_TRUE(waitUntil([&] { return highlighted(yB, false); }, 3s));
    display_->click(x0_ + 60, yB, 3);   // the context menu
    std::this_thread::sleep_for(400ms);
    // The menu opens on its first item: two down is "Supprime les doubles…".
    for (const char* key : {"Down", "Down", "Return"}) display_->key(key);
    ASSERT_TRUE(waitUntil([&] { return !scene.has("B/b1") && !scene.has("B/b4"); }, 10s));
    std::this_thread::sleep_for(500ms);
    // C is still closed, with its mark, right below the emptied B; B keeps the selection
    // where it was.
    // (Opened, C would show its marked files below it.)
    const std::vector<int> after = markedRows(false);
    ASSERT_FALSE(after.empty());
    EXPECT_LT(after.back(), yB + rowHeight + rowHeight / 2);   // C's own row, a folder's mark
    EXPECT_TRUE(highlighted(yB, false));
    EXPECT_TRUE(scene.has("C/c1") && scene.has("C/c4") && scene.has("C/cx"));
    EXPECT_TRUE(display_->windows("^Erreur").empty());
}

}  // namespace
}  // namespace parelix::test
