#include "support/RealDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace parelix::test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : extra) all[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : all) out.push_back(k + "=" + v);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Forks and runs argv with the merged environment; stdout goes to outFd (or stays), the
// other standard streams to /dev/null (errorsToo: stderr goes with stdout).
pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int outFd,
            bool errorsToo = false) {
    std::vector<std::string> args = argv;
    std::vector<std::string> envStrings = mergedEnvironment(env);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(envStrings);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // Child: only async-signal-safe calls from here. It ends with the test, also when the
    // test is killed (a time-out): no server or program is left behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(outFd >= 0 ? outFd : null, 1);
    dup2(errorsToo && outFd >= 0 ? outFd : null, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
}

std::string readAll(int fd) {
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) break;
    }
    return out;
}

}  // namespace

std::string findExecutable(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::string runCapture(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                       int* exitCode) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::vector<std::string> args = argv;
    if (!args.empty() && args[0].find('/') == std::string::npos) args[0] = findExecutable(args[0]);
    const pid_t pid = spawn(args, env, fds[1]);
    close(fds[1]);
    std::string out = readAll(fds[0]);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                           const std::string& outputFile) {
    const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_ = spawn(argv, env, out, true);
    if (out >= 0) close(out);
}

ChildProcess::~ChildProcess() { stop(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

bool ChildProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        ended_ = WIFEXITED(status) ? "exited with " + std::to_string(WEXITSTATUS(status))
                                   : "killed by signal " + std::to_string(WTERMSIG(status));
        return false;
    }
    return true;
}

void ChildProcess::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool Screenshot::matches(int x, int y, const std::function<bool(int, int, int)>& test) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    // Both are within the picture, checked above.
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return test(rgb[i], rgb[i + 1], rgb[i + 2]);
}

std::vector<int> Screenshot::bands(int x0, int x1, int y0, int y1, const std::function<bool(int, int, int)>& test,
                                   int minPixels) const {
    // A band may skip a few rows (an icon's outline crossing its colour); a longer gap ends it.
    constexpr int kGap = 4;
    std::vector<int> centres;
    int start = -1;
    int last = -1;
    for (int y = y0; y < y1; ++y) {
        int count = 0;
        for (int x = x0; x < x1 && count < minPixels; ++x)
            if (matches(x, y, test)) ++count;
        if (count < minPixels) continue;
        if (start >= 0 && y - last > kGap) {
            centres.push_back((start + last) / 2);
            start = -1;
        }
        if (start < 0) start = y;
        last = y;
    }
    if (start >= 0) centres.push_back((start + last) / 2);
    return centres;
}

bool isMarkRed(int r, int g, int b) { return r > 190 && g < 70 && b < 70; }
bool isHighlight(int r, int g, int b) { return b > 170 && r < 90 && g > 110 && g < 170; }

std::string RealDisplay::missingTools() {
    std::string missing;
    for (const char* tool : {"Xvfb", "xdotool", "import", "xprop", "xdpyinfo"})
        if (findExecutable(tool).empty()) missing += std::string(missing.empty() ? "" : ", ") + tool;
    return missing;
}

namespace {

// The abstract sockets (without their '@') that some process listens on.
std::set<std::string> abstractSockets() {
    std::ifstream in("/proc/net/unix");
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(" @");
        if (at != std::string::npos) names.insert(line.substr(at + 2));
    }
    return names;
}

// The first display number from `from` on that nothing holds: no lock file, no socket file
// (one without a lock may be left by a server that died, or be held by one whose lock lies
// elsewhere) and no abstract socket (a server whose /tmp is not ours).
int freeDisplayNumber(int from) {
    const std::set<std::string> abstract = abstractSockets();
    for (int n = from; n < from + 500; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        std::error_code ec;
        if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock", ec) || fs::exists(fs::symlink_status(socket, ec)) ||
            abstract.count(socket))
            continue;
        return n;
    }
    return -1;
}

// The pid written in a display's lock file, or -1.
pid_t lockHolder(int number) {
    std::ifstream in("/tmp/.X" + std::to_string(number) + "-lock");
    long pid = -1;
    return in >> pid ? static_cast<pid_t>(pid) : -1;
}

}  // namespace

RealDisplay::RealDisplay() {
    if (!missingTools().empty()) return;
    // The server's own output goes to a file, shown when something fails.
    char log[] = "/tmp/parelix-xvfb-XXXXXX";
    const int logFd = mkstemp(log);
    if (logFd < 0) return;
    close(logFd);
    serverLog_ = log;
    // Test programs run side by side pick the same free number; the server that loses the
    // lock ends, and the next free number is tried.
    constexpr int kFirstDisplay = 10;
    for (int attempt = 0, n = freeDisplayNumber(kFirstDisplay); attempt < 8 && n >= 0;
         ++attempt, n = freeDisplayNumber(n + 1)) {
        if (startServer(n)) return;
    }
    std::cerr << "Xvfb did not start on a free display; it wrote:\n" << serverOutput() << '\n';
}

bool RealDisplay::startServer(int number) {
    const std::string display = ":" + std::to_string(number);
    const int logFd = open(serverLog_.c_str(), O_WRONLY | O_APPEND);
    // -noreset: the server resets when its last client leaves (the readiness probe, each
    // xdotool call), and a client that connects meanwhile is refused.
    const pid_t pid = spawn({findExecutable("Xvfb"), display, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-noreset"},
                            {}, logFd, true);
    if (logFd >= 0) close(logFd);
    if (pid < 0) return false;
    // Ready once the display's lock names this server and a client gets through: a server
    // that announced itself is not yet reachable on a busy machine, and the lock tells it
    // from another server answering on the same number.
    bool ended = false;
    const bool ready = waitUntil(
        [&] {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                ended = true;
                return true;
            }
            if (lockHolder(number) != pid) return false;
            int code = -1;
            runCapture({findExecutable("xdpyinfo"), "-display", display}, {}, &code);
            return code == 0;
        },
        std::chrono::seconds(15), std::chrono::milliseconds(100));
    if (ready && !ended) {
        serverPid_ = pid;
        display_ = display;
        return true;
    }
    if (!ended) {
        std::cerr << "Xvfb on " << display << " accepted no client\n";
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return false;
}

RealDisplay::~RealDisplay() {
    if (serverPid_ > 0) {
        kill(serverPid_, SIGTERM);
        waitpid(serverPid_, nullptr, 0);
    }
    if (!serverLog_.empty()) unlink(serverLog_.c_str());
}

std::string RealDisplay::serverOutput() const {
    std::ifstream in(serverLog_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RealDisplay::xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{findExecutable("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCapture(argv, {{"DISPLAY", display_}});
}

void RealDisplay::moveTo(int x, int y) { xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }

void RealDisplay::click(int x, int y, int button) {
    xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", std::to_string(button)});
}

void RealDisplay::doubleClick(int x, int y) {
    xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "--repeat", "2", "--delay", "60", "1"});
}

void RealDisplay::drag(int fromX, int fromY, int toX, int toY) {
    std::vector<std::string> args{"mousemove", std::to_string(fromX), std::to_string(fromY), "mousedown", "1"};
    constexpr int kSteps = 12;
    for (int i = 1; i <= kSteps; ++i) {
        args.insert(args.end(), {"sleep", "0.04", "mousemove", std::to_string(fromX + (toX - fromX) * i / kSteps),
                                 std::to_string(fromY + (toY - fromY) * i / kSteps)});
    }
    args.insert(args.end(), {"sleep", "0.15", "mouseup", "1"});
    xdotool(args);
}

void RealDisplay::key(const std::string& keys) { xdotool({"key", "--delay", "40", keys}); }

void RealDisplay::type(const std::string& text) { xdotool({"type", "--delay", "40", text}); }

std::vector<std::string> RealDisplay::windows(const std::string& titleRegex) {
    std::stringstream out(xdotool({"search", "--onlyvisible", "--name", titleRegex}));
    std::vector<std::string> ids;
    std::string id;
    while (out >> id) ids.push_back(id);
    return ids;
}

bool RealDisplay::waitForWindow(const std::string& titleRegex, std::chrono::milliseconds timeout, std::string* id) {
    return waitUntil(
        [&] {
            const std::vector<std::string> found = windows(titleRegex);
            if (found.empty()) return false;
            if (id) *id = found.front();
            return true;
        },
        timeout);
}

bool RealDisplay::waitForNoWindow(const std::string& titleRegex, std::chrono::milliseconds timeout) {
    return waitUntil([&] { return windows(titleRegex).empty(); }, timeout);
}

std::string RealDisplay::windowName(const std::string& id) {
    const std::string out = runCapture({findExecutable("xprop"), "-id", id, "_NET_WM_NAME"}, {{"DISPLAY", display_}});
    const std::size_t first = out.find('"');
    const std::size_t last = out.rfind('"');
    if (first == std::string::npos || last <= first) return {};
    std::string name;
    for (std::size_t i = first + 1; i < last; ++i) {
        if (out[i] == '\\' && i + 1 < last) ++i;
        name += out[i];
    }
    return name;
}

std::pair<int, int> RealDisplay::windowOrigin(const std::string& id) {
    const std::string out = xdotool({"getwindowgeometry", id});
    int x = 0, y = 0;
    const std::size_t at = out.find("Position: ");
    if (at != std::string::npos) std::sscanf(out.c_str() + at, "Position: %d,%d", &x, &y);
    return {x, y};
}

Screenshot RealDisplay::screenshot() {
    const std::string ppm =
        runCapture({findExecutable("import"), "-window", "root", "-depth", "8", "ppm:-"}, {{"DISPLAY", display_}});
    Screenshot shot;
    int maxValue = 0;
    int consumed = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &shot.width, &shot.height, &maxValue, &consumed) != 3) return {};
    const std::size_t start = static_cast<std::size_t>(consumed) + 1;
    const std::size_t size = static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) * 3;
    if (maxValue != 255 || ppm.size() < start + size) return {};
    shot.rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(start),
                    ppm.begin() + static_cast<std::ptrdiff_t>(start + size));
    return shot;
}

void RealDisplay::saveScreenshot(const std::string& path) {
    runCapture({findExecutable("import"), "-window", "root", path}, {{"DISPLAY", display_}});
}

bool waitUntil(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (ready()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(step);
    }
}

ProgramOnDisplayTest::ProgramOnDisplayTest(std::string program, std::string folderPrefix,
                                           std::string screenshotPrefix)
    : programPath_(std::move(program)), folderPrefix_(std::move(folderPrefix)),
      screenshotPrefix_(std::move(screenshotPrefix)) {}

void ProgramOnDisplayTest::SetUp() {
    const std::string missing = RealDisplay::missingTools();
    if (!missing.empty()) GTEST_SKIP() << "needs " << missing << " (scripts/test.sh installs them)";
    display_ = std::make_unique<RealDisplay>();
    ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
    std::string base = "/tmp/" + folderPrefix_ + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(base.data()));
    base_ = base;
    fs::create_directories(home() + "/data");
    fs::create_directories(base_ + "/work");
}

void ProgramOnDisplayTest::TearDown() {
    if (display_ && display_->ok() && HasFailure()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        display_->saveScreenshot(fs::current_path() / (screenshotPrefix_ + "-" + info->name() + ".png"));
        std::ifstream log(base_ + "/program.log");
        std::stringstream text;
        text << log.rdbuf();
        std::cerr << "The program " << (program_.running() ? "still runs" : program_.ended()) << "; it wrote:\n"
                  << text.str() << "\nThe display server wrote:\n" << display_->serverOutput() << '\n';
    }
    program_.stop();
    display_.reset();
    std::error_code ec;
    if (!base_.empty()) fs::remove_all(base_, ec);
}

void ProgramOnDisplayTest::startProgram(const std::map<std::string, std::string>& env) {
    std::map<std::string, std::string> all{{"DISPLAY", display_->display()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"HOME", home()},
                                           {"XDG_DATA_HOME", home() + "/data"},
                                           {"TMPDIR", base_ + "/work"}};
    for (const auto& [k, v] : env) all[k] = v;
    // A start that shows no window is tried once more, after saying what it wrote.
    for (int attempt = 1;; ++attempt) {
        program_ = ChildProcess({programPath_}, all, base_ + "/program.log");
        if (display_->waitForWindow("^Parelix - ", 20s, &main_)) break;
        std::ifstream log(base_ + "/program.log");
        std::stringstream text;
        text << log.rdbuf();
        std::cerr << "Start " << attempt << ": no window; the program "
                  << (program_.running() ? "still runs" : program_.ended()) << " and wrote:\n" << text.str()
                  << "\nThe display server wrote:\n" << display_->serverOutput() << '\n';
        program_.stop();
        ASSERT_LT(attempt, 2) << "the program did not start on " << display_->display();
        // Should the server be what failed the program, the second start gets one of its own.
        display_ = std::make_unique<RealDisplay>();
        ASSERT_TRUE(display_->ok()) << "Xvfb did not start again";
        all["DISPLAY"] = display_->display();
    }
    std::string splash;
    if (display_->waitForWindow("^A propos de", 1s, &splash)) {
        EXPECT_EQ(display_->windowName(splash), "A propos de...");
    }
    ASSERT_TRUE(display_->waitForNoWindow("^A propos de", 10s));
    std::tie(x0_, y0_) = display_->windowOrigin(main_);
}

bool ProgramOnDisplayTest::trashHolds(const std::string& name) const {
    return fs::exists(home() + "/data/Trash/files/" + name) && fs::exists(home() + "/data/Trash/info/" + name + ".trashinfo");
}

}  // namespace parelix::test
