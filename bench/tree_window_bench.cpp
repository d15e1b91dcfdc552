// tree_window_bench: the result trees through the main window's views, the half of
// tree_bench that needs a window.
//
//   tree_window_bench [nodes] [duplicates] [work folder]
//
// The window is shown as at program start (offscreen unless QT_QPA_PLATFORM says otherwise)
// with two search roots: the first a tree of about `nodes` nodes shaped as tree_bench shapes
// it (a third of its files in groups of two, so that DblList is large too), the second a real
// folder holding `duplicates` files in del/ and their copies in keep/.
//
// Timed, each from the handler's call until the events it left behind (the views' layout,
// painting) are handled:
//   - "Tout Déplier" then "Tout Replier" on the first root;
//   - "Supprime les doubles de ce répertoire" on del/ with every tree open, with a private
//     recycle bin (XDG_DATA_HOME and HOME inside the work folder);
//   - apart, on a second copy of the same files, the two parts of each deletion that touch
//     the disk: the check that another copy still holds the bytes, and the recycle bin alone.
//     What the walk costs beyond those two is the program's own.
#include <QApplication>
#include <QListWidget>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TreePlan.h"
#include "platform/Drives.h"
#include "platform/Shell.h"
#include "results/Deletion.h"
#include "ui/Application.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"
#include "ui/TreeModel.h"

namespace fs = std::filesystem;
using namespace parelix;

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Processor time of this process in ms: on a shared machine the wall clock also counts
// other programs' turns.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Handles what a handler left behind: the views' posted layout, then painting.
void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

std::string windowsPath(const fs::path& p) {
    auto w = DriveTable::current().toWindows(p.string());
    if (!w) {
        std::fprintf(stderr, "cannot name %s as a Windows-style path\n", p.c_str());
        std::exit(1);
    }
    return *w;
}

// del/fNNNN.dat and keep/fNNNN.dat with the same bytes, different from every other pair.
void writePairs(const fs::path& base, int count) {
    fs::create_directories(base / "del");
    fs::create_directories(base / "keep");
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        const std::string bytes = "contenu du double numero " + std::to_string(i) + std::string(40, 'x');
        for (const char* side : {"del", "keep"}) {
            std::ofstream out(base / side / name, std::ios::binary);
            out << bytes;
        }
    }
}

NodeId folderNode(ResultTrees& t, NodeId parent, const std::string& text) {
    const NodeId n = t.dirList.addChild(parent, text);
    t.dirList.setKind(n, NodeKind::Folder);
    t.dirList.setCounter(n, 0);
    return n;
}

NodeId fileNode(ResultTrees& t, NodeId parent, const std::string& text) {
    const NodeId n = t.dirList.addChild(parent, text);
    t.dirList.setKind(n, NodeKind::File);
    t.dirList.setCounter(n, 0);
    return n;
}

// Fills the planned tree under node, as the collection walk does.
void build(ResultTrees& t, const bench::Plan& p, std::size_t& at, NodeId node, std::vector<NodeId>& files) {
    const std::uint32_t children = p.childCount[at];
    for (std::uint32_t i = 0; i < children; ++i) {
        const std::size_t me = ++at;
        if (p.folder[me]) {
            build(t, p, at, folderNode(t, node, p.names[me]), files);
        } else {
            files.push_back(fileNode(t, node, p.names[me]));
        }
    }
    t.dirList.sortChildren(node);
}

void group(ResultTrees& t, const std::string& size, const std::vector<NodeId>& members) {
    const NodeId g = t.dblList.addChild(kNoNode, "(" + size + ")");
    for (NodeId f : members) t.addDuplicate(g, t.nodePath(f), f);
    t.dblList.sortChildren(g);
    t.dblList.expand(g);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t nodes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100'000;
    const int duplicates = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::string base = argc > 3 ? argv[3] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/var/tmp");
    std::string work = base + "/parelix-tree-window-bench-XXXXXX";
    if (!mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    // The private recycle bin, set before GLib first reads it; on the work folder's file
    // system so that the home trash takes its files.
    fs::create_directories(work + "/home/data");
    setenv("XDG_DATA_HOME", (work + "/home/data").c_str(), 1);
    setenv("HOME", (work + "/home").c_str(), 1);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    writePairs(fs::path(work) / "walk", duplicates);
    writePairs(fs::path(work) / "alone", duplicates);

    DesktopServices services;
    Application app(argc, argv, services);
    Session session(services);
    T_EcrPrin w(session);
    if (w.startupRefused()) return 1;
    w.show();
    settle();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != &w && top->isVisible()) top->close();

    // First root: the planned tree, whose files need not exist.
    bench::Plan p;
    bench::Rng rng{0x9E3779B97F4A7C15ull};
    p.names.push_back("C:\\Virtuel");
    p.folder.push_back(1);
    p.childCount.push_back(0);
    while (p.names.size() < nodes) plan(p, rng, nodes, 0);
    ResultTrees& t = w.session().trees();
    const NodeId first = folderNode(t, kNoNode, p.names[0]);
    std::vector<NodeId> files;
    std::size_t at = 0;
    build(t, p, at, first, files);
    for (std::size_t i = 0; i + 1 < files.size(); i += 6) group(t, std::to_string(1000 + i), {files[i], files[i + 1]});

    // Second root: the real pairs.
    const NodeId second = folderNode(t, kNoNode, windowsPath(fs::path(work) / "walk"));
    const NodeId del = folderNode(t, second, "--> del");
    const NodeId keep = folderNode(t, second, "--> keep");
    std::vector<NodeId> delFiles, keepFiles;
    for (int i = 0; i < duplicates; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        delFiles.push_back(fileNode(t, del, name));
        keepFiles.push_back(fileNode(t, keep, name));
    }
    for (std::size_t i = 0; i < delFiles.size(); ++i) group(t, "65", {delFiles[i], keepFiles[i]});

    // The controls, by name as a user's tools find them.
    auto* dirList = w.findChild<QTreeView*>(QStringLiteral("DirList"));
    auto* dirModel = qobject_cast<TreeModel*>(dirList->model());
    auto* infos = w.findChild<QListWidget*>(QStringLiteral("Infos"));
    w.showResultsPage();
    t.dirList.select(first);
    dirList->setFocus();
    settle();
    std::printf("DirList %zu nodes (first root %zu), DblList %zu nodes\n", t.dirList.nodeCount(),
                t.dirList.nodeCount() - 3 - 2 * static_cast<std::size_t>(duplicates), t.dblList.nodeCount());

    auto count = [&](NodeId root) {
        std::size_t folders = 0, open = 0;
        std::vector<NodeId> stack{root};
        while (!stack.empty()) {
            const NodeId n = stack.back();
            stack.pop_back();
            if (t.dirList.childCount(n) == 0) continue;
            ++folders;
            const QModelIndex idx = dirModel->indexOf(n);
            if (dirList->isExpanded(idx)) ++open;
            for (NodeId c : t.dirList.children(n)) stack.push_back(c);
        }
        return std::pair{folders, open};
    };

    double c0 = cpuMs();
    auto t0 = Clock::now();
    w.ToutDeplierClick();
    auto t1 = Clock::now();
    settle();
    auto t2 = Clock::now();
    double c1 = cpuMs();
    auto [folders, open] = count(first);
    std::printf("Tout Déplier: handler %.1f ms, until painted %.1f ms (processor %.1f ms); %zu of %zu folders "
                "open in the view\n",
                ms(t0, t1), ms(t0, t2), c1 - c0, open, folders);

    c0 = cpuMs();
    t0 = Clock::now();
    w.ToutReplierClick();
    t1 = Clock::now();
    settle();
    t2 = Clock::now();
    c1 = cpuMs();
    std::tie(folders, open) = count(first);
    std::printf("Tout Replier: handler %.1f ms, until painted %.1f ms (processor %.1f ms); %zu of %zu folders "
                "open in the view\n",
                ms(t0, t1), ms(t0, t2), c1 - c0, open, folders);

    // The walk with every tree open, as after "Tout Déplier".
    w.ToutDeplierClick();
    t.dirList.expand(second);
    t.dirList.expand(del);
    t.dirList.expand(keep);
    settle();
    t.dirList.select(del);
    settle();
    PaintCounter logPaints;
    infos->viewport()->installEventFilter(&logPaints);
    const int linesBefore = infos->count();
    c0 = cpuMs();
    t0 = Clock::now();
    w.SupDblsDuRepClick();
    settle();
    t1 = Clock::now();
    c1 = cpuMs();
    infos->viewport()->removeEventFilter(&logPaints);
    const int lines = infos->count() - linesBefore;
    std::size_t trashed = 0;
    for (const auto& e : fs::directory_iterator(work + "/home/data/Trash/files")) trashed += e.is_regular_file();
    const double walk = ms(t0, t1);
    std::printf("walk: %d files, %d log lines, %d log paints, %zu in the recycle bin, %zu left in del/: "
                "%.1f ms, %.2f ms per file (processor %.2f ms per file)\n",
                duplicates, lines, logPaints.paints, trashed, static_cast<std::size_t>(t.dirList.childCount(del)),
                walk, walk / duplicates, (c1 - c0) / duplicates);

    // The disk's parts alone, on the second set of the same files.
    const fs::path alone = fs::path(work) / "alone";
    double check = 0, trash = 0;
    int found = 0, done = 0;
    for (int i = 0; i < duplicates; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        const std::string file = windowsPath(alone / "del" / name);
        const std::string other = windowsPath(alone / "keep" / name);
        const auto start = Clock::now();
        found += findOtherCopyOnDisk(services, file, {other}) == OtherCopy::Found;
        const auto checked = Clock::now();
        SHFILEOPSTRUCTA op;
        op.wFunc = FO_DELETE;
        op.fFlags = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE | FOF_NOCONFIRMATION;
        op.pFrom = file;
        done += SHFileOperationA(op, services) == 0;
        const auto recycled = Clock::now();
        check += ms(start, checked);
        trash += ms(checked, recycled);
    }
    std::printf("alone: check %.2f ms per file (%d found), recycle bin %.2f ms per file (%d done)\n",
                check / duplicates, found, trash / duplicates, done);
    std::printf("walk beyond check and recycle bin: %.2f ms per file\n", (walk - check - trash) / duplicates);

    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
