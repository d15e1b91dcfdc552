// The keyboard reaches every action, and the highlighted row is the node the program acts
// on: the program itself on a real X display, driven by real key events. Skipped when
// Xvfb, xdotool, ImageMagick's import, xprop or xdpyinfo is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/RealDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace parelix::test {
namespace {

// Places in the main window at its design size, from its top-left corner.
constexpr int kDskLeft = 4, kDskRight = 184, kDskTop = 20, kDskBottom = 470;
constexpr int kDskListBlankX = 90, kDskListBlankY = 400;
constexpr int kDblLeft = 210, kDblRight = 630, kDblTop = 77, kDblBottom = 340;

// Text drawn on a highlighted row.
bool isHighlightedText(int r, int g, int b) { return r > 200 && g > 200 && b > 200; }

// The scene's files lie in the private folder beside the program's home.
class KeyboardDisplayTest : public ProgramOnDisplayTest {
protected:
    KeyboardDisplayTest() : ProgramOnDisplayTest(PARELIX_PROGRAM, "pxkb", "keyboard-display") {}

    std::string write(const std::string& relative, const std::string& content) const {
        const fs::path p = fs::path(base_) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    bool has(const std::string& relative) const { return fs::exists(fs::path(base_) / relative); }

    // Type-ahead goes on from what was typed less than 0.4 s before: a pause between names.
    void typeName(const std::string& name) {
        display_->type(name);
        std::this_thread::sleep_for(500ms);
    }

    // The highlighted rows of a tree: their centres, and how far the text drawn on the first
    // one reaches across, in pixels.
    struct Highlight {
        std::vector<int> rows;
        int textWidth = 0;
    };
    Highlight highlightIn(int left, int right, int top, int bottom) {
        const Screenshot shot = display_->screenshot();
        Highlight h;
        h.rows = shot.bands(x0_ + left, x0_ + right, y0_ + top, y0_ + bottom, isHighlight, 20);
        if (h.rows.empty()) return h;
        int first = -1, last = -1;
        for (int y = h.rows[0] - 8; y <= h.rows[0] + 8; ++y) {
            // Only within the band: its row of pixels, between its first and last pixel.
            int bandLeft = -1, bandRight = -1;
            for (int x = x0_ + left; x < x0_ + right; ++x)
                if (shot.matches(x, y, isHighlight)) {
                    if (bandLeft < 0) bandLeft = x;
                    bandRight = x;
                }
            if (bandRight - bandLeft < 20) continue;
            for (int x = bandLeft; x <= bandRight; ++x)
                if (shot.matches(x, y, isHighlightedText)) {
                    if (first < 0 || x < first) first = x;
                    last = std::max(last, x);
                }
        }
        h.textWidth = first < 0 ? 0 : last - first + 1;
        return h;
    }

    bool asked(std::chrono::milliseconds wait = 5s) {
        return display_->waitForWindow("^Confirmer la suppression", wait);
    }

    // Focuses the drive tree and walks down it by type-ahead: each name after the first is
    // typed in the folder opened before it.
    void typeAheadInDriveTree(const std::vector<std::string>& names) {
        display_->click(x0_ + kDskListBlankX, y0_ + kDskListBlankY);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0) display_->key("Right");
            typeName(names[i]);
        }
    }

    // Waits until DblList shows count members marked red; members gets their rows' centres.
    bool waitForMarkedMembers(std::size_t count, std::vector<int>& members) {
        return waitUntil(
            [&] {
                members = display_->screenshot().bands(x0_ + kDblLeft, x0_ + kDblRight, y0_ + kDblTop,
                                                       y0_ + kDblBottom, isMarkRed);
                return members.size() == count;
            },
            20s);
    }

    // The Delete key asks about the focused tree's selected node, and Oui is answered.
    void deleteAndConfirm() {
        display_->key("Delete");
        ASSERT_TRUE(asked()) << "the Delete key asked nothing";
        display_->key("Return");   // Oui
    }
};

// In the drive tree, type-ahead moves the highlight with the node Ajoute adds. In the result
// trees, type-ahead finds a folder by its name alone, and the Delete key does what a click on
// the trash does: it asks, then sends the focused tree's selected node to the recycle bin, and
// does nothing for a group node.
TEST_F(KeyboardDisplayTest, TypeAheadAndTheDeleteKeyActOnTheHighlightedNode) {
    write("ux-big/seul.txt", "seul");
    const std::string edge = "ux-edge-au-nom-bien-plus-long";
    write(edge + "/a.txt", "pareil");
    write(edge + "/zeta/b.txt", "pareil");
    write(edge + "/c.txt", "autre chose");
    write(edge + "/d.txt", "autre chose");
    ASSERT_NO_FATAL_FAILURE(startProgram());

    typeAheadInDriveTree({"C:", "tmp", fs::path(base_).filename().string()});
    display_->key("Right");
    display_->type("ux-e");
    std::this_thread::sleep_for(300ms);
    // One row highlighted, the long name's: it runs to the tree's edge where ux-big\ is short.
    const Highlight drive = highlightIn(kDskLeft, kDskRight, kDskTop, kDskBottom);
    ASSERT_EQ(drive.rows.size(), 1u);
    EXPECT_GT(drive.textWidth, 70);
    std::this_thread::sleep_for(300ms);

    display_->key("alt+a");
    std::this_thread::sleep_for(300ms);
    display_->key("alt+c");
    // Both groups shown: the run is ending; after "Fini !" the search root is selected and
    // DirList has the focus.
    std::vector<int> members;
    ASSERT_TRUE(waitForMarkedMembers(4, members));
    std::this_thread::sleep_for(500ms);

    // The root is the folder Ajoute took: deleting it from the results would ask about it.
    display_->key("Right");
    typeName("zeta");
    ASSERT_NO_FATAL_FAILURE(deleteAndConfirm());
    EXPECT_TRUE(waitUntil([&] { return !has(edge + "/zeta"); }, 10s));
    EXPECT_TRUE(trashHolds("zeta"));
    EXPECT_TRUE(has(edge + "/a.txt"));
    EXPECT_TRUE(has("ux-big/seul.txt"));

    // DblList: one group left (c.txt, d.txt), its two members marked red.
    ASSERT_TRUE(waitForMarkedMembers(2, members));
    const int groupRow = members[0] - (members[1] - members[0]);
    display_->click(x0_ + 320, groupRow);
    std::this_thread::sleep_for(300ms);
    display_->key("Delete");
    EXPECT_FALSE(asked(1s)) << "a group node was offered to the recycle bin";

    display_->click(x0_ + 320, members[0]);
    std::this_thread::sleep_for(300ms);
    ASSERT_NO_FATAL_FAILURE(deleteAndConfirm());
    EXPECT_TRUE(waitUntil([&] { return !has(edge + "/c.txt"); }, 10s));
    EXPECT_TRUE(trashHolds("c.txt"));
    EXPECT_TRUE(has(edge + "/d.txt"));
    EXPECT_TRUE(has(edge + "/a.txt"));
}

}  // namespace
}  // namespace parelix::test
