// Ending the program by a signal: a child process starts as the program does, runs a search,
// and gets SIGTERM, SIGHUP or SIGINT at a given stage of the run or after it. It must quit
// by itself, stop the run where it is, and leave nothing in its temporary folder.
//
// The parent never creates a QApplication: each child makes its own after the fork.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Drives.h"
#include "platform/QuitSignals.h"
#include "support/TestSupport.h"
#include "support/WindowFixture.h"
#include "ui/Application.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"
#include "ui/StatusBar.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

enum class Stage { Collecting, Sorting, Comparing, AfterRun, Checking };

bool reached(T_EcrPrin& w, Stage stage) {
    const QString last = test::lastLogLine(w);
    switch (stage) {
        case Stage::Collecting: return w.session().engine().collecting();
        case Stage::Sorting: return last == QStringLiteral("Tri des fichiers par taille");
        case Stage::Comparing: return w.session().engine().comparing();
        case Stage::AfterRun: return last == QStringLiteral("Fini !") &&
                                     test::control<QPushButton>(w, "BtnStopRtn")->text() == QStringLiteral("Faire une autre sélection");
        case Stage::Checking:
            return test::control<StatusBar>(w, "Etat")->simpleText().startsWith(QStringLiteral("Vérification avant effacement"));
    }
    return false;
}

// The child: the program's start as main() makes it, a search on root clicked at once, and a
// probe in the event turns that tells the parent through `ready` when the run reaches the
// stage, then waits until the signal has been caught. During the sort it lets the signal wait
// (the sort takes no event turn); elsewhere it gives the window the turn at once. The log goes
// back through `report`, one line each, then the exit code of the event loop.
[[noreturn]] void child(const std::string& tmp, const std::string& root, Stage stage, int ready, int report) {
    int code = 2;
    try {
        // Started as from a terminal, whatever the test runner ignores.
        for (const int s : {SIGTERM, SIGHUP, SIGINT}) signal(s, SIG_DFL);
        setenv("TMPDIR", tmp.c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "parelix";
        static char* argv[] = {name, nullptr};
        DesktopServices services;
        Application app(argc, argv, services);
        app.catchQuitSignals();
        std::string log;
        {
            Session session(services);
            T_EcrPrin window(session);
            test::addSearchPath(window, root);

            bool told = false;
            QTimer probe;
            QObject::connect(&probe, &QTimer::timeout, [&] {
                if (told || !reached(window, stage)) return;
                told = true;
                const char byte = 1;
                if (write(ready, &byte, 1) != 1) std::_Exit(4);
                // The signal itself interrupts the wait; the byte in the pipe ends it.
                pollfd caught{catchQuitSignals(), POLLIN, 0};
                int n;
                while ((n = poll(&caught, 1, 20000)) < 0 && errno == EINTR) {
                }
                if (n != 1) std::_Exit(5);
                if (stage != Stage::Sorting) QCoreApplication::processEvents();
            });
            probe.start(0);
            QTimer::singleShot(0, &window, [&window, stage] {
                window.BtnChercheClick();
                if (stage != Stage::Checking) return;
                // The largest file goes to the trash: its copy is read whole first.
                ResultTrees& trees = window.session().viewStores().results;
                TreeStore& dir = trees.dirList;
                dir.select(trees.dblList.link(trees.dblList.firstChild(trees.dblList.firstRoot())));
                if (dir.selected() != kNoNode) window.PoubelleDragDrop(test::control<QTreeView>(window, "DirList"));
            });
            code = app.run(window);
            probe.stop();
            const QListWidget* infos = test::control<QListWidget>(window, "Infos");
            for (int i = 0; i < infos->count(); ++i) log += infos->item(i)->text().toStdString() + "\n";
        }
        log += "exit " + std::to_string(code) + "\n";
        for (std::size_t done = 0; done < log.size();) {
            const ssize_t n = write(report, log.data() + done, log.size() - done);
            if (n <= 0) std::_Exit(6);
            done += static_cast<std::size_t>(n);
        }
    } catch (...) {
        std::_Exit(7);
    }
    std::_Exit(code == 0 ? 0 : 3);
}

struct Outcome {
    bool exited = false;
    int status = -1;
    std::vector<std::string> report;
    std::vector<std::string> left;   // work and run files left in the child's temporary folder
};

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1;
}

Outcome runChild(const std::string& root, Stage stage, int signal) {
    Outcome out;
    test::TempDir tmp;
    int ready[2];
    int report[2];
    if (pipe(ready) != 0 || pipe(report) != 0) {
        ADD_FAILURE() << "pipe";
        return out;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(report[0]);
        child(tmp.path(), root, stage, ready[1], report[1]);
    }
    close(ready[1]);
    close(report[1]);

    char byte;
    if (readable(ready[0], 30000) && read(ready[0], &byte, 1) == 1) kill(pid, signal);
    else ADD_FAILURE() << "the child never reached the stage";

    std::string text;
    char buffer[4096];
    ssize_t n;
    while (readable(report[0], 30000) && (n = read(report[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    close(ready[0]);
    close(report[0]);

    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 300 && (done = waitpid(pid, &status, WNOHANG)) == 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (done == pid) {
        out.exited = WIFEXITED(status);
        out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    } else {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the child did not end";
    }
    for (std::size_t from = 0, to; (to = text.find('\n', from)) != std::string::npos; from = to + 1)
        out.report.push_back(text.substr(from, to - from));
    for (const auto& e : fs::directory_iterator(tmp.path()))
        if (e.path().filename().string().rfind("DBL", 0) == 0) out.left.push_back(e.path().filename());
    return out;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(QuitSignal, EndsTheProgramAtEveryStageAndRemovesTheWorkFiles) {
    test::TempDir tree;
    // Enough files for several runs of the sort, and pairs of doubles to compare.
    for (int d = 0; d < 4; ++d)
        for (int f = 0; f < 80; ++f)
            tree.write("d" + std::to_string(d) + "/f" + std::to_string(f), "content " + std::to_string(f));
    const auto root = DriveTable::current().toWindows(tree.path());
    ASSERT_TRUE(root.has_value());

    struct Case {
        Stage stage;
        int signal;
        const char* seen;      // a line the log must hold
        const char* notSeen;   // one it must not: the run stopped before it
    };
    const Case cases[] = {
        // Caught in the walk's first turn: it walks nothing more, and the run ends with it.
        {Stage::Collecting, SIGTERM, "0 fichiers dans 0 répertoires", "Aucun fichier à traiter !"},
        // Caught during the sort, which takes no event turn: handled as the comparison starts.
        {Stage::Sorting, SIGINT, "Comparaison des fichiers présumés doubles", "Fini !"},
        {Stage::Comparing, SIGHUP, "Comparaison des fichiers présumés doubles", "Fini !"},
        {Stage::AfterRun, SIGTERM, "Fini !", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.stage));
        const Outcome out = runChild(*root, c.stage, c.signal);
        EXPECT_TRUE(out.exited) << "status " << out.status;
        EXPECT_EQ(out.status, 0);
        ASSERT_FALSE(out.report.empty());
        EXPECT_EQ(out.report.back(), "exit 0");
        EXPECT_TRUE(has(out.report, c.seen)) << c.seen;
        if (c.notSeen) {
            EXPECT_FALSE(has(out.report, c.notSeen)) << c.notSeen;
        }
        EXPECT_TRUE(out.left.empty()) << out.left.front();
    }
}

// A signal during the check that another copy is on disk ends the check at once: the file
// stays, nothing is asked or shown, and the program quits as at any other moment.
TEST(QuitSignal, EndsACheckAtOnceAndKeepsTheFile) {
    test::TempDir tree;
    for (const char* name : {"big1", "big2"}) {
        const std::string path = tree.write(name, "");
        fs::resize_file(path, std::uintmax_t(1) << 30);   // holes: read fast, but not at once
    }
    const auto root = DriveTable::current().toWindows(tree.path());
    ASSERT_TRUE(root.has_value());
    const Outcome out = runChild(*root, Stage::Checking, SIGTERM);
    EXPECT_TRUE(out.exited) << "status " << out.status;
    EXPECT_EQ(out.status, 0);
    ASSERT_FALSE(out.report.empty());
    EXPECT_EQ(out.report.back(), "exit 0");
    // Equal files: a check that had run to its end would have let one go.
    EXPECT_TRUE(fs::exists(tree.path() + "/big1") && fs::exists(tree.path() + "/big2"));
    EXPECT_TRUE(out.left.empty());
}

}  // namespace
}  // namespace parelix
