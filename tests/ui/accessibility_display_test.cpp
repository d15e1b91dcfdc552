// What a keyboard and screen-reader user meets: the program itself on a real X display, real
// keys, and what the accessibility bus carries to a screen reader (a listener of our own on a
// private session bus). And what a file manager drops, dragged from another program's window.
// Skipped when Xvfb, xdotool, ImageMagick's import, xprop, xdpyinfo, dbus-daemon, the
// accessibility bus launcher or Python's pyatspi is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/RealDisplay.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace parelix::test {
namespace {

// Places in the main window at its design size, from its top-left corner.
constexpr int kDskListBlankX = 90, kDskListBlankY = 400, kDskFirstDriveY = 37;
constexpr int kRepX = 300, kRepFirstRowY = 28, kRepBlankY = 200;
constexpr int kExcX = 300, kExcFirstRowY = 324;
constexpr int kDblLeft = 210, kDblRight = 630, kDblTop = 77, kDblBottom = 340;
constexpr const char* kLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr const char* kPython = "/usr/bin/python3";

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AccessibilityDisplayTest : public ProgramOnDisplayTest {
protected:
    AccessibilityDisplayTest() : ProgramOnDisplayTest(PARELIX_PROGRAM, "pxa11y", "accessibility-display") {}

    void SetUp() override {
        ProgramOnDisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (findExecutable("dbus-daemon").empty() || !fs::exists(kLauncher) ||
            runCapture({kPython, "-c", "import pyatspi; print('ok')"}) != "ok\n")
            GTEST_SKIP() << "needs dbus-daemon, at-spi2-core and python3-pyatspi (scripts/test.sh installs them)";
    }

    void TearDown() override {
        if (HasFailure()) std::cerr << "The bus carried:\n" << readAll(heardFile()) << '\n';
        listener_.stop();
        launcher_.stop();
        bus_.stop();
        ProgramOnDisplayTest::TearDown();
    }

    std::string heardFile() const { return base_ + "/heard.log"; }

    // A session bus of the test's own, the accessibility bus on it, a listener, then the
    // program, which speaks on the bus from its start.
    void startHeard() {
        bus_ = ChildProcess({findExecutable("dbus-daemon"), "--session", "--nofork", "--print-address=1"}, {},
                            base_ + "/bus.log");
        ASSERT_TRUE(waitUntil([&] { return readAll(base_ + "/bus.log").find("unix:") != std::string::npos; }, 10s));
        std::string address = readAll(base_ + "/bus.log");
        address = address.substr(0, address.find('\n'));
        const std::map<std::string, std::string> env{{"DBUS_SESSION_BUS_ADDRESS", address},
                                                     {"DISPLAY", display_->display()},
                                                     {"HOME", home()}};
        launcher_ = ChildProcess({kLauncher, "--launch-immediately"}, env, base_ + "/launcher.log");
        listener_ = ChildProcess({kPython, PARELIX_ATSPI_LISTENER, heardFile()}, env, base_ + "/listener.log");
        ASSERT_TRUE(waitUntil([&] { return readAll(heardFile()).find("ready\n") != std::string::npos; }, 15s))
            << readAll(base_ + "/listener.log") << readAll(base_ + "/launcher.log");
        ASSERT_NO_FATAL_FAILURE(startProgram({{"DBUS_SESSION_BUS_ADDRESS", address},
                                              {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}}));
    }

    // Waits until a screen reader has heard the text as the focus of the given role, since
    // the mark (a place in what was heard).
    bool heard(const std::string& role, const std::string& name, std::size_t since,
               std::chrono::milliseconds wait = 5s) {
        const std::string line = "focus\t" + role + "\t" + name + "\n";
        return waitUntil([&] { return readAll(heardFile()).find(line, since) != std::string::npos; }, wait);
    }
    std::size_t mark() const { return readAll(heardFile()).size(); }

    // Opens the focused control's menu by the keys, hears its first item and, after Down, its
    // second; Escape then closes the menu and does nothing else (on the selection page it
    // would otherwise end the program).
    void menuHeard(const std::string& keys, const std::string& first, const std::string& second) {
        SCOPED_TRACE(keys + " for " + first);
        std::size_t since = mark();
        display_->key(keys);
        EXPECT_TRUE(heard("menu item", first, since)) << keys << " did not announce " << first;
        if (!second.empty()) {
            since = mark();
            display_->key("Down");
            EXPECT_TRUE(heard("menu item", second, since)) << "Down did not announce " << second;
        }
        display_->key("Escape");
        std::this_thread::sleep_for(400ms);
        EXPECT_TRUE(program_.running()) << "Escape went past the menu";
        EXPECT_FALSE(display_->windows("^Parelix - ").empty());
    }

    void typeAheadInDriveTree(const std::vector<std::string>& names) {
        display_->click(x0_ + kDskListBlankX, y0_ + kDskListBlankY);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0) display_->key("Right");
            display_->type(names[i]);
            std::this_thread::sleep_for(500ms);
        }
    }

    // The names of the rows of a list or tree (by its accessible name), as a screen reader
    // reads the window's tree.
    std::string rowsOf(const std::string& listName) {
        std::ofstream(base_ + "/rows.py")
            << "import pyatspi, sys\n"
               "def walk(o, depth):\n"
               "    if depth > 12: return\n"
               "    for c in o:\n"
               "        if c is None: continue\n"
               "        if c.name == sys.argv[1] and c.getRoleName() in ('list', 'list box', 'tree', 'tree table'):\n"
               "            for r in c: print(r.name)\n"
               "            return\n"
               "        walk(c, depth + 1)\n"
               "for app in pyatspi.Registry.getDesktop(0):\n"
               "    if app is not None and app.name == 'Parelix': walk(app, 0)\n";
        return runCapture({kPython, base_ + "/rows.py", listName}, {{"DBUS_SESSION_BUS_ADDRESS", busAddress()}});
    }
    std::string busAddress() const {
        const std::string text = readAll(base_ + "/bus.log");
        return text.substr(0, text.find('\n'));
    }

    ChildProcess bus_, launcher_, listener_;
};

// Each list's and tree's context menu, opened by Shift+F10 and by the menu key at the current
// row (and by the mouse), announces its highlighted item as a screen reader hears a focus: the
// role "menu item" and the item's text; the arrows move through the items; Escape closes it.
TEST_F(AccessibilityDisplayTest, EveryContextMenuOpensByKeysAndIsHeard) {
    const std::string scene = base_ + "/scene";
    fs::create_directories(scene + "/skip");
    fs::create_directories(scene + "/dup");
    std::ofstream(scene + "/dup/a.txt") << "pareil";
    std::ofstream(scene + "/dup/b.txt") << "pareil";
    ASSERT_NO_FATAL_FAILURE(startHeard());

    // DskList, by the mouse first: the menu opens with its first item heard.
    std::size_t since = mark();
    display_->click(x0_ + kDskListBlankX, y0_ + kDskFirstDriveY, 3);
    EXPECT_TRUE(heard("menu item", "Exclure de la recherche", since)) << "a right click announced nothing";
    display_->key("Escape");
    std::this_thread::sleep_for(300ms);
    typeAheadInDriveTree({"C:", "tmp", fs::path(base_).filename().string(), "scene", "skip"});
    for (const char* keys : {"shift+F10", "Menu"})
        menuHeard(keys, "Exclure de la recherche", "Aller au dossier personnel");
    display_->key("shift+F10");
    std::this_thread::sleep_for(300ms);
    display_->key("Return");   // skip\ into ExcList
    display_->type("dup");
    std::this_thread::sleep_for(500ms);
    display_->key("alt+a");   // dup\ into RepList
    std::this_thread::sleep_for(300ms);

    display_->click(x0_ + kRepX, y0_ + kRepFirstRowY);
    for (const char* keys : {"shift+F10", "Menu"}) menuHeard(keys, "Répertoire de référence (jamais supprimé)", "");
    display_->click(x0_ + kExcX, y0_ + kExcFirstRowY);
    for (const char* keys : {"shift+F10", "Menu"})
        menuHeard(keys, "Retirer de la liste d'exclusion", "Ajouter un fichier à exclure…");

    // The results: DirList has the focus once the run ends; Tab goes on to DblList.
    display_->key("alt+c");
    std::vector<int> members;
    ASSERT_TRUE(waitUntil(
        [&] {
            members = display_->screenshot().bands(x0_ + kDblLeft, x0_ + kDblRight, y0_ + kDblTop, y0_ + kDblBottom,
                                                   isMarkRed);
            return members.size() == 2;
        },
        20s));
    std::this_thread::sleep_for(500ms);
    for (const char* keys : {"shift+F10", "Menu"}) menuHeard(keys, "Double Précédent", "Double Suivant");
    display_->key("Tab");
    std::this_thread::sleep_for(200ms);
    for (const char* keys : {"shift+F10", "Menu"}) menuHeard(keys, "Double Précédent", "Double Suivant");
    since = mark();
    display_->click(x0_ + 320, members[0], 3);
    EXPECT_TRUE(heard("menu item", "Double Précédent", since)) << "a right click on DblList announced nothing";
    display_->key("Escape");
}

// Folders and files dragged from another program's window: onto RepList they become search
// paths, onto ExcList exclusions; what is not on this machine is refused with a word.
TEST_F(AccessibilityDisplayTest, FoldersDraggedFromAnotherWindowJoinTheLists) {
    const std::string scene = base_ + "/scene";
    fs::create_directories(scene + "/photos");
    fs::create_directories(scene + "/musique");
    std::ofstream(scene + "/note.txt") << "note";
    ASSERT_NO_FATAL_FAILURE(startHeard());
    const std::string prefix = "C:\\tmp\\" + fs::path(base_).filename().string() + "\\scene\\";

    const auto dragFrom = [&](const std::vector<std::string>& items, int toX, int toY) {
        std::vector<std::string> argv{PARELIX_DRAG_SOURCE};
        argv.insert(argv.end(), items.begin(), items.end());
        ChildProcess source(argv, {{"DISPLAY", display_->display()}, {"QT_QPA_PLATFORM", "xcb"}},
                            base_ + "/source.log");
        ASSERT_TRUE(display_->waitForWindow("^Source de fichiers", 10s));
        std::this_thread::sleep_for(300ms);
        display_->drag(80, 40, toX, toY);
        std::this_thread::sleep_for(800ms);
    };
    dragFrom({scene + "/photos", scene + "/musique"}, x0_ + kRepX, y0_ + kRepBlankY);
    EXPECT_TRUE(waitUntil([&] { return rowsOf("Disques / répertoires où chercher") ==
                                       prefix + "musique\n" + prefix + "photos\n"; }, 5s))
        << rowsOf("Disques / répertoires où chercher");
    dragFrom({scene + "/note.txt"}, x0_ + kExcX, y0_ + kExcFirstRowY);
    EXPECT_TRUE(waitUntil([&] { return rowsOf("Disques / répertoires / fichiers à exclure") == prefix + "note.txt\n"; }, 5s))
        << rowsOf("Disques / répertoires / fichiers à exclure");

    // A remote share's address: a box says why, and the lists stay as they were.
    dragFrom({"sftp://serveur/partage"}, x0_ + kExcX, y0_ + kExcFirstRowY);
    EXPECT_TRUE(display_->waitForWindow("^Glisser-déposer", 5s));
    display_->key("Return");
    EXPECT_EQ(rowsOf("Disques / répertoires / fichiers à exclure"), prefix + "note.txt\n");
}

}  // namespace
}  // namespace parelix::test
