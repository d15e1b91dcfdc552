#pragma once
// A real X display for tests that drive the program as a person does: a private Xvfb
// server, the program started on it as a child process, real pointer and key events
// through xdotool, screenshots through ImageMagick's import, window properties through
// xprop, and the server's readiness through xdpyinfo. Tests skip when one of these tools is missing (scripts/test.sh installs them).
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace parelix::test {

// Full path of an executable found on PATH, or empty.
std::string findExecutable(const std::string& name);

// Runs a program to its end and returns what it wrote on its standard output. env entries
// are added to (or replace) the test's own environment.
std::string runCapture(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
                       int* exitCode = nullptr);

// A child process, ended (terminated, then killed) at destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    // Both output streams go to outputFile.
    ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& outputFile = "/dev/null");
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    pid_t pid() const { return pid_; }
    bool running();
    // How the process ended, once running() has found it gone.
    const std::string& ended() const { return ended_; }
    void stop();

private:
    pid_t pid_ = -1;
    std::string ended_;
};

// An RGB screenshot of the whole screen.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    bool matches(int x, int y, const std::function<bool(int r, int g, int b)>& test) const;
    // Centres of the bands of rows in [y0, y1) that hold at least minPixels pixels passing
    // test between x0 and x1; rows a few pixels apart make one band.
    std::vector<int> bands(int x0, int x1, int y0, int y1, const std::function<bool(int, int, int)>& test,
                           int minPixels = 2) const;
};

// The red disc of a duplicate's icon, and the highlight of a selected row.
bool isMarkRed(int r, int g, int b);
bool isHighlight(int r, int g, int b);

class RealDisplay {
public:
    // The tools missing among Xvfb, xdotool, import, xprop and xdpyinfo, or empty.
    static std::string missingTools();
    RealDisplay();
    ~RealDisplay();
    RealDisplay(const RealDisplay&) = delete;
    RealDisplay& operator=(const RealDisplay&) = delete;

    const std::string& display() const { return display_; }   // ":N"
    bool ok() const { return !display_.empty(); }
    // What the server wrote on its standard output and error so far.
    std::string serverOutput() const;

    std::string xdotool(const std::vector<std::string>& args);
    void moveTo(int x, int y);
    void click(int x, int y, int button = 1);
    void doubleClick(int x, int y);
    // Press at from, move in small steps to to, release: a drag as a hand makes it.
    void drag(int fromX, int fromY, int toX, int toY);
    void key(const std::string& keys);
    void type(const std::string& text);

    // Ids of the visible windows whose title matches the regular expression.
    std::vector<std::string> windows(const std::string& titleRegex);
    // Waits until such a window shows (true) or the time runs out.
    bool waitForWindow(const std::string& titleRegex, std::chrono::milliseconds timeout, std::string* id = nullptr);
    bool waitForNoWindow(const std::string& titleRegex, std::chrono::milliseconds timeout);
    // _NET_WM_NAME of a window, as the window system shows it.
    std::string windowName(const std::string& id);
    // Top-left corner of a window on the screen.
    std::pair<int, int> windowOrigin(const std::string& id);

    Screenshot screenshot();
    // Saves a screenshot as PNG, for a person to look at after a failure.
    void saveScreenshot(const std::string& path);

private:
    // Starts a server on the display number and waits until it takes clients; false when it
    // ended or took none.
    bool startServer(int number);

    std::string display_;
    std::string serverLog_;
    pid_t serverPid_ = -1;
};

// What the tests of the program on a real display share: the server; a private folder
// directly under /tmp (reached in the drive tree as C:\tmp\<name>) that holds the program's
// home (home/, its recycle bin in home/data) and work folder (work/); the program started on
// the display with them; after a failure, a screenshot and what the program wrote.
class ProgramOnDisplayTest : public ::testing::Test {
protected:
    // folderPrefix names the private folder ("pxkb" gives /tmp/pxkb-XXXXXX); a failure's
    // screenshot is <screenshotPrefix>-<test>.png in the working folder.
    ProgramOnDisplayTest(std::string program, std::string folderPrefix, std::string screenshotPrefix);
    void SetUp() override;      // skips when a tool is missing
    void TearDown() override;

    // Starts the program (env adds to or replaces its environment), waits for its main window
    // and the end of its splash, and notes the window's corner in x0_, y0_.
    void startProgram(const std::map<std::string, std::string>& env = {});
    std::string home() const { return base_ + "/home"; }
    // The name lies in the program's recycle bin with its .trashinfo.
    bool trashHolds(const std::string& name) const;

    std::unique_ptr<RealDisplay> display_;
    std::string base_;
    ChildProcess program_;
    std::string main_;
    int x0_ = 0, y0_ = 0;

private:
    std::string programPath_, folderPrefix_, screenshotPrefix_;
};

// Polls until ready() or the time runs out; true when ready.
bool waitUntil(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(50));

}  // namespace parelix::test
