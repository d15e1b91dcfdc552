// parelix-window-bench: the search run through the real main window, on POSIX folders given
// as arguments, for comparison with parelix-scan on the same folders.
//
// The window is created and shown as at program start (offscreen unless QT_QPA_PLATFORM says
// otherwise), its result trees attached to their views. The folders go into the search list
// through the selection logic, as the Ajoute button puts them there. The time runs from the
// search button's handler to the end of the run, once the log's last line reads "Fini !" and
// the events the run left behind (the views' last batch, painting) are handled. A folder
// without files ends on "Aucun fichier à traiter !", which serves as the baseline of memory.
//
// Standard error: time to the "Fini !" line, time to the end of the run, counts, peak
// resident memory (VmHWM), the time of each phase (from the log lines that open the next).
// With --groups, standard output gets the duplicates tree in parelix-scan's format, so that
// the two outputs can be compared byte for byte. With --paints, standard error also gets how
// often each widget was painted during the run and the time in its own paint handler, and
// how many pictures the window made and the time they took (painting, flush to the display
// and any wait for the display server).
#include <QApplication>
#include <QListWidget>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "ui/Application.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"
#include "session/PathSelection.h"
#include "SearchPathArg.h"

namespace {

using Clock = std::chrono::steady_clock;

// Peak resident set of this process in kB, or -1.
long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Counts the paint events each widget gets, by object name (or class when unnamed), and
// times the window's pictures: each update request of a top-level widget is handed on from
// here, so that its time holds the painting, the flush to the display and any wait for it.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest && watched->isWidgetType() && !inPicture_ &&
            static_cast<QWidget*>(watched)->isWindow()) {
            inPicture_ = true;
            const int paintsBefore = paintCount_;
            const auto start = Clock::now();
            QCoreApplication::sendEvent(watched, event);
            const double ms = seconds(start, Clock::now()) * 1000;
            inPicture_ = false;
            if (paintCount_ == paintsBefore) return true;   // held back, or nothing to paint
            ++pictures_;
            pictureMs_ += ms;
            longestMs_ = std::max(longestMs_, ms);
            return true;
        }
        if (event->type() == QEvent::Paint && watched->isWidgetType() && watched != inPaint_) {
            const QString name = watched->objectName().isEmpty() ? QString::fromLatin1(watched->metaObject()->className())
                                                                 : watched->objectName();
            Paints& p = paints_[name.toStdString()];
            ++p.count;
            ++paintCount_;
            QObject* outer = inPaint_;
            inPaint_ = watched;
            const auto start = Clock::now();
            QCoreApplication::sendEvent(watched, event);
            p.ms += seconds(start, Clock::now()) * 1000;
            inPaint_ = outer;
            return true;
        }
        return false;
    }
    void report() const {
        for (const auto& [name, p] : paints_) std::fprintf(stderr, "paints %s %d, %.1f ms\n", name.c_str(), p.count, p.ms);
        std::fprintf(stderr, "pictures %d, %.1f ms in all, longest %.1f ms\n", pictures_, pictureMs_, longestMs_);
    }
private:
    struct Paints {
        int count = 0;
        double ms = 0;   // in the widget's own paint handler (its children paint apart)
    };
    std::map<std::string, Paints> paints_;
    QObject* inPaint_ = nullptr;
    int paintCount_ = 0;
    bool inPicture_ = false;
    int pictures_ = 0;
    double pictureMs_ = 0;
    double longestMs_ = 0;
};

// Reads --groups and the folders, each named as a search path; false after saying why when
// the arguments do not do.
bool readArguments(int argc, char** argv, bool& printGroups, bool& countPaints, std::vector<std::string>& paths) {
    std::vector<const char*> folders;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--groups") == 0) printGroups = true;
        else if (std::strcmp(argv[i], "--paints") == 0) countPaints = true;
        else folders.push_back(argv[i]);
    }
    if (folders.empty()) {
        std::fprintf(stderr, "usage: %s [--groups] [--paints] FOLDER...\n", argv[0]);
        return false;
    }
    for (const char* f : folders) {
        std::string p;
        if (!parelix::bench::toSearchPath(f, p)) {
            std::fprintf(stderr, "%s: cannot name %s as a search path\n", argv[0], f);
            return false;
        }
        paths.push_back(p);
    }
    return true;
}

// Shows the window as at program start; the user closes the splash rather than wait for it.
void showWithoutSplash(parelix::T_EcrPrin& window) {
    window.show();
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &window && w->isVisible()) w->close();
    QCoreApplication::processEvents();
}

// Writes each group's text and its members' on standard output when asked, a blank line
// after each group; the number of members.
std::size_t writeGroups(const parelix::TreeStore& dbl, bool print) {
    std::size_t members = 0;
    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    for (parelix::NodeId g : dbl.children(parelix::kNoNode)) {
        if (print) {
            std::fputs(dbl.text(g).c_str(), stdout);
            std::fputc('\n', stdout);
        }
        for (parelix::NodeId m : dbl.children(g)) {
            if (print) {
                std::fputs(dbl.text(m).c_str(), stdout);
                std::fputc('\n', stdout);
            }
            ++members;
        }
        if (print) std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    return members;
}

// When each phase of the run began and ended, as the log saw its lines come.
struct RunTimes {
    Clock::time_point start, sortAt, compareAt, finiAt, end;
};

// What the run left in the log and the trees, and its times, on standard error; 1 when the
// run did not end as a run ends.
int report(parelix::T_EcrPrin& window, const QListWidget* infos, const RunTimes& t, bool printGroups,
           const char* program) {
    // A folder without files (the baseline of memory) ends on its own line instead.
    const int lines = infos->count();
    const QString last = lines > 0 ? infos->item(lines - 1)->text() : QString();
    if (last != QStringLiteral("Fini !") && last != QStringLiteral("Aucun fichier à traiter !")) {
        std::fprintf(stderr, "%s: the run ended on \"%s\"\n", program, last.toUtf8().constData());
        return 1;
    }

    const auto& dbl = window.session().trees().dblList;
    const std::size_t members = writeGroups(dbl, printGroups);
    for (int i = 0; i < lines; ++i)
        std::fprintf(stderr, "log: %s\n", infos->item(i)->text().toUtf8().constData());
    std::fprintf(stderr, "files %d, directories %d, groups %zu, members %zu\n",
                 window.session().engine().fileCount(), window.session().engine().dirCount(),
                 dbl.children(parelix::kNoNode).size(), members);
    std::fprintf(stderr, "window fini %.3f s, total %.3f s\n",
                 t.finiAt == Clock::time_point{} ? 0.0 : seconds(t.start, t.finiAt), seconds(t.start, t.end));
    if (t.sortAt != Clock::time_point{} && t.compareAt != Clock::time_point{} && t.finiAt != Clock::time_point{})
        std::fprintf(stderr, "phases: walk %.3f s, sort %.3f s, compare %.3f s\n", seconds(t.start, t.sortAt),
                     seconds(t.sortAt, t.compareAt), seconds(t.compareAt, t.finiAt));
    std::fprintf(stderr, "peak %ld kB\n", peakRssKb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    bool printGroups = false;
    bool countPaints = false;
    std::vector<std::string> paths;
    if (!readArguments(argc, argv, printGroups, countPaints, paths)) return 2;

    parelix::DesktopServices services;
    parelix::Application app(argc, argv, services);
    parelix::Session session(services);
    parelix::T_EcrPrin window(session);
    if (window.startupRefused()) {
        std::fprintf(stderr, "%s: the window refused to start\n", argv[0]);
        return 1;
    }
    showWithoutSplash(window);

    // The list keeps its own order (sorted); parelix-scan takes the arguments' order, so
    // give one folder per run when comparing outputs of several.
    for (const std::string& p : paths) window.session().addSearchPathText(p);
    if (window.searchPaths().size() != paths.size()) {
        std::fprintf(stderr, "%s: the search list did not take the folders\n", argv[0]);
        return 1;
    }

    // The moment the log receives "Fini !", seen from the log's own model.
    auto* infos = window.findChild<QListWidget*>(QStringLiteral("Infos"));
    // The lines that open the sort and the comparison end the phase before them.
    RunTimes times;
    QObject::connect(infos->model(), &QAbstractItemModel::rowsInserted, &window,
                     [&](const QModelIndex&, int, int last) {
                         const QString text = infos->item(last)->text();
                         if (text == QStringLiteral("Fini !")) times.finiAt = Clock::now();
                         else if (text == QStringLiteral("Tri des fichiers par taille")) times.sortAt = Clock::now();
                         else if (text == QStringLiteral("Comparaison des fichiers présumés doubles"))
                             times.compareAt = Clock::now();
                     });

    PaintCounter paints;
    if (countPaints) app.installEventFilter(&paints);
    times.start = Clock::now();
    window.BtnChercheClick();
    QCoreApplication::processEvents();
    times.end = Clock::now();

    if (const int failed = report(window, infos, times, printGroups, argv[0])) return failed;
    if (countPaints) paints.report();
    return 0;
}
