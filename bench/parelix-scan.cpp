// parelix-scan: the search run without a window, on POSIX folders given as arguments, leaving
// out each folder or file given after --exclude.
// Prints each group of the duplicates tree in order (the group's text, one line per member,
// an empty line) on standard output; counts, other log lines and the time of each phase
// go to standard error. SIGTERM, SIGINT and SIGHUP stop the run at its next event turn; the
// work files are deleted and the tool then ends by the signal.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SearchEngine.h"
#include "engine/SearchUi.h"
#include "platform/Services.h"
#include "platform/Drives.h"
#include "platform/System.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"
#include "SearchPathArg.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t quitSignal = 0;
void onQuitSignal(int signal) { quitSignal = signal; }

void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

// Once the work files are gone: the end the signal would have made.
[[noreturn]] void endBySignal() {
    const int signal = quitSignal;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    std::_Exit(128 + signal);
}

// User and system time of the process so far: on a shared machine, what each phase costs
// itself, beside the wall time that others' load stretches.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Keeps the log and the moment each phase began and ended; shows nothing.
class ScanUi : public parelix::SearchUi {
public:
    std::vector<std::string> log;
    Clock::time_point walkEnd{}, sortStart{}, compareStart{}, end{};
    double walkEndCpu = 0, sortStartCpu = 0, compareStartCpu = 0, endCpu = 0;

    void runStarted() override { log.clear(); }
    void phaseStarted(parelix::SearchPhase phase, std::int64_t) override {
        if (phase == parelix::SearchPhase::Sort) mark(sortStart, sortStartCpu);
        else if (phase == parelix::SearchPhase::Comparison) mark(compareStart, compareStartCpu);
    }
    void phaseEnded(parelix::SearchPhase phase, std::int64_t) override {
        if (phase == parelix::SearchPhase::Collection) mark(walkEnd, walkEndCpu);
    }
    void logLine(const std::string& line) override { log.push_back(line); }
    void folderEntered(const std::string&) override {}
    void progress(std::int64_t) override {}
    void pairCompared(const std::string&, const std::string&) override {}
    // The run's event turns: where a signal stops it.
    void eventTurn() override {
        if (quitSignal && engine) engine->abandonRun();
    }
    parelix::SearchEngine* engine = nullptr;
    void resultsReady() override {}
    void runEnded() override { mark(end, endCpu); }

private:
    static void mark(Clock::time_point& at, double& cpu) {
        at = Clock::now();
        cpu = cpuSeconds();
    }
};

double seconds(Clock::time_point a, Clock::time_point b) {
    if (a == Clock::time_point{} || b == Clock::time_point{}) return 0.0;
    return std::chrono::duration<double>(b - a).count();
}

// The groups on standard output, each with its members and a blank line; the member count.
std::size_t printGroups(const parelix::TreeStore& dbl) {
    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    std::size_t members = 0;
    for (parelix::NodeId g : dbl.children(parelix::kNoNode)) {
        std::fputs(dbl.text(g).c_str(), stdout);
        std::fputc('\n', stdout);
        for (parelix::NodeId m : dbl.children(g)) {
            std::fputs(dbl.text(m).c_str(), stdout);
            std::fputc('\n', stdout);
            ++members;
        }
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return members;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> paths;
    std::vector<std::string> exclusions;
    for (int i = 1; i < argc; ++i) {
        const bool exclude = std::string_view(argv[i]) == "--exclude" && i + 1 < argc;
        if (exclude) ++i;
        std::string p;
        if (!parelix::bench::toSearchPath(argv[i], p)) {
            std::fprintf(stderr, "%s: cannot name %s as a search path\n", argv[0], argv[i]);
            return 2;
        }
        (exclude ? exclusions : paths).push_back(p);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "usage: %s [--exclude FOLDER_OR_FILE]... FOLDER...\n", argv[0]);
        return 2;
    }

    parelix::raiseDescriptorLimit();
    parelix::PlatformServices services;   // this process's drives; no window
    parelix::ResultTrees trees;
    ScanUi ui;
    parelix::SearchEngine engine(trees, ui, services);
    ui.engine = &engine;
    // PARELIX_WARM_READERS=N: N readers share the probes on a warm disk whatever the other
    // programs leave idle (to time the hand-offs alone).
    if (const char* warm = std::getenv("PARELIX_WARM_READERS")) {
        engine.compareLimits().warmReaders = static_cast<unsigned>(std::strtoul(warm, nullptr, 10));
        engine.compareLimits().warmReadersFollowIdleProcessors = false;
    }
    catchQuitSignals();   // before the work files exist
    const auto start = Clock::now();
    try {
        engine.startup();
        if (!quitSignal) engine.searchRun(paths, exclusions);
        engine.shutdown();
    } catch (const parelix::InOutError& e) {
        try {
            engine.shutdown();
        } catch (const parelix::InOutError&) {
        }
        if (quitSignal) endBySignal();
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    if (quitSignal) endBySignal();

    const auto& dbl = trees.dblList;
    const std::size_t members = printGroups(dbl);
    for (const auto& line : ui.log) std::fprintf(stderr, "log: %s\n", line.c_str());
    std::fprintf(stderr, "files %d, directories %d, groups %zu, members %zu\n", engine.fileCount(),
                 engine.dirCount(), dbl.children(parelix::kNoNode).size(), members);
    std::fprintf(stderr, "walk %.3f s, sort %.3f s, compare %.3f s, total %.3f s\n",
                 seconds(start, ui.walkEnd), seconds(ui.sortStart, ui.compareStart),
                 seconds(ui.compareStart, ui.end), seconds(start, Clock::now()));
    std::fprintf(stderr, "cpu: walk %.3f s, sort %.3f s, compare %.3f s, total %.3f s\n", ui.walkEndCpu,
                 ui.compareStartCpu - ui.sortStartCpu, ui.compareStart == Clock::time_point{} ? 0.0 : ui.endCpu - ui.compareStartCpu,
                 cpuSeconds());
    return 0;
}
