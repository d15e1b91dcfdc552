// tree_window_bench: the result trees through the main window's views, the half of
// tree_bench that needs a window.
//
//   tree_window_bench [nodes] [duplicates] [work folder] [copies]
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
//     recycle bin (XDG_DATA_HOME and HOME inside the work folder); inside it, the time the
//     shell's operation takes (the check that another copy still holds the bytes, and the
//     recycle bin): what the walk costs beyond is the program's own;
//   - the same for "... et de ses sous-répertoires" on a third root of the same shape, its
//     question answered Oui;
//   - apart, on a fourth copy of the same files, the two parts that touch the disk alone;
//   - with `copies`, both walks again on del/ of two more roots each holding one group:
//     `copies` identical files in del/ and one more in keep/, so that a big group's cost per
//     file reads beside the pairs'.
// The disk's own times drift as the recycle bin fills, so the program's part is taken from
// inside each walk, not from the parts timed apart.
#include <QApplication>
#include <QListWidget>
#include <QTreeView>
#include <sys/resource.h>

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

double cpuMs();

// The desktop's services, with the time spent in the shell's operation (the last check
// runs inside it) added up, and the walk's question answered Oui.
class TimedServices : public DesktopServices {
public:
    using DesktopServices::DesktopServices;
    double wallMs = 0, processorMs = 0;
    int fileOperation(SHFILEOPSTRUCTA& op) override {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuMs();
        const int result = DesktopServices::fileOperation(op);
        processorMs += cpuMs() - c0;
        wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        return result;
    }
    bool confirmWalk(const std::string&) override { return true; }
};

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

// The process's peak resident memory so far.
long peakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// With TREE_BENCH_PERF_FIFO naming the control fifo of `perf record -D -1 --control=fifo:...`,
// the profile covers only what a walk leaves behind, the trees' layout and painting.
void perfControl(const char* command) {
    static const char* fifo = std::getenv("TREE_BENCH_PERF_FIFO");
    if (!fifo) return;
    std::ofstream out(fifo);
    out << command << '\n';
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

void group(ResultTrees& t, std::uint64_t size, const std::vector<NodeId>& members) {
    const NodeId g = t.addGroup(size);
    for (NodeId f : members) t.addDuplicate(g, t.nodePath(f), f);
    t.dblList.sortChildren(g);
    t.dblList.expand(g);
}

// The work folder under base, with the private recycle bin (XDG_DATA_HOME and HOME inside
// it), or empty. Set before GLib first reads them, and on the work folder's file system so
// that the home trash takes its files.
std::string makeWorkFolder(const std::string& base) {
    std::string work = base + "/parelix-tree-window-bench-XXXXXX";
    if (!mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return {};
    }
    fs::create_directories(work + "/home/data");
    setenv("XDG_DATA_HOME", (work + "/home/data").c_str(), 1);
    setenv("HOME", (work + "/home").c_str(), 1);
    return work;
}

// Shows the window as at program start, and closes the splash rather than wait for it.
void showWithoutSplash(T_EcrPrin& w) {
    w.show();
    settle();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != &w && top->isVisible()) top->close();
}

// The first root: the planned tree of about `nodes` nodes, whose files need not exist, a third
// of its files in groups of two.
NodeId addPlannedRoot(ResultTrees& t, std::size_t nodes) {
    bench::Plan p;
    bench::Rng rng{0x9E3779B97F4A7C15ull};
    p.names.push_back("C:\\Virtuel");
    p.folder.push_back(1);
    p.childCount.push_back(0);
    while (p.names.size() < nodes) plan(p, rng, nodes, 0);
    const NodeId first = folderNode(t, kNoNode, p.names[0]);
    std::vector<NodeId> files;
    std::size_t at = 0;
    build(t, p, at, first, files);
    for (std::size_t i = 0; i + 1 < files.size(); i += 6) group(t, 1000 + i, {files[i], files[i + 1]});
    return first;
}

// del/fNNNNN.dat, `copies` files with the same bytes, and one more in keep/: one group.
void writeBigGroup(const fs::path& base, int copies) {
    fs::create_directories(base / "del");
    fs::create_directories(base / "keep");
    const std::string bytes = "contenu du grand groupe" + std::string(42, 'x');
    for (int i = 0; i <= copies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        std::ofstream out(base / (i < copies ? "del" : "keep") / name, std::ios::binary);
        out << bytes;
    }
}

// The second root: the real pairs written under folder, each pair a group.
struct PairsRoot {
    NodeId root, del, keep;
};
PairsRoot addPairsRoot(ResultTrees& t, const fs::path& folder, int duplicates) {
    const NodeId second = folderNode(t, kNoNode, windowsPath(folder));
    const NodeId del = folderNode(t, second, "--> del");
    const NodeId keep = folderNode(t, second, "--> keep");
    std::vector<NodeId> delFiles, keepFiles;
    for (int i = 0; i < duplicates; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        delFiles.push_back(fileNode(t, del, name));
        keepFiles.push_back(fileNode(t, keep, name));
    }
    for (std::size_t i = 0; i < delFiles.size(); ++i) group(t, 65, {delFiles[i], keepFiles[i]});
    return {second, del, keep};
}

// A root over writeBigGroup's folder: its files, all in one group.
PairsRoot addBigGroupRoot(ResultTrees& t, const fs::path& folder, int copies) {
    const NodeId root = folderNode(t, kNoNode, windowsPath(folder));
    const NodeId del = folderNode(t, root, "--> del");
    const NodeId keep = folderNode(t, root, "--> keep");
    std::vector<NodeId> members;
    for (int i = 0; i <= copies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.dat", i);
        members.push_back(fileNode(t, i < copies ? del : keep, name));
    }
    group(t, 65, members);
    return {root, del, keep};
}

// DirList as the user's tools find it, by name.
struct DirListView {
    const TreeStore& tree;
    QTreeView* view;
    TreeModel* model;

    // The folders under root, and how many of them the view shows open.
    std::pair<std::size_t, std::size_t> openFolders(NodeId root) const {
        std::size_t folders = 0, open = 0;
        std::vector<NodeId> stack{root};
        while (!stack.empty()) {
            const NodeId n = stack.back();
            stack.pop_back();
            if (tree.childCount(n) == 0) continue;
            ++folders;
            if (view->isExpanded(model->indexOf(n))) ++open;
            for (NodeId c : tree.children(n)) stack.push_back(c);
        }
        return {folders, open};
    }
};

// Times a handler that opens or closes the folders, and tells how many the view shows open
// under root afterwards.
void timeFolding(const char* name, void (T_EcrPrin::*handler)(), T_EcrPrin& w, const DirListView& dirList,
                 NodeId root) {
    const double c0 = cpuMs();
    const auto t0 = Clock::now();
    (w.*handler)();
    const auto t1 = Clock::now();
    settle();
    const auto t2 = Clock::now();
    const double c1 = cpuMs();
    const auto [folders, open] = dirList.openFolders(root);
    std::printf("%s: handler %.1f ms, until painted %.1f ms (processor %.1f ms); %zu of %zu folders "
                "open in the view\n",
                name, ms(t0, t1), ms(t0, t2), c1 - c0, open, folders);
}

// "Supprime les doubles de ce répertoire" (or, tree, "... et de ses sous-répertoires") on
// del/ with every tree open, as after "Tout Déplier"; its time in ms.
double timeWalk(T_EcrPrin& w, TimedServices& services, const PairsRoot& pairs, const std::string& work,
                int duplicates, bool tree) {
    ResultTrees& t = w.session().viewStores().results;
    auto* infos = w.findChild<QListWidget*>(QStringLiteral("Infos"));
    w.ToutDeplierClick();
    t.dirList.expand(pairs.root);
    t.dirList.expand(pairs.del);
    t.dirList.expand(pairs.keep);
    settle();
    t.dirList.select(pairs.del);
    settle();
    PaintCounter logPaints;
    infos->viewport()->installEventFilter(&logPaints);
    const int linesBefore = infos->count();
    std::size_t trashedBefore = 0;
    if (fs::exists(work + "/home/data/Trash/files"))
        for (const auto& e : fs::directory_iterator(work + "/home/data/Trash/files")) trashedBefore += e.is_regular_file();
    services.wallMs = services.processorMs = 0;
    const double c0 = cpuMs();
    const auto t0 = Clock::now();
    (tree ? w.SupDblsDuRepEtSousRepClick() : w.SupDblsDuRepClick());
    const auto tHandler = Clock::now();
    const double cHandler = cpuMs();
    perfControl("enable");
    settle();
    perfControl("disable");
    const auto t1 = Clock::now();
    const double c1 = cpuMs();
    infos->viewport()->removeEventFilter(&logPaints);
    const int lines = infos->count() - linesBefore;
    std::size_t trashed = 0;
    for (const auto& e : fs::directory_iterator(work + "/home/data/Trash/files")) trashed += e.is_regular_file();
    trashed -= trashedBefore;
    const double walk = ms(t0, t1);
    const char* name = tree ? "tree walk" : "walk";
    std::printf("%s: %d files, %d log lines, %d log paints, %zu in the recycle bin, %zu left in del/: "
                "%.1f ms, %.2f ms per file (processor %.2f ms per file)\n",
                name, duplicates, lines, logPaints.paints, trashed,
                static_cast<std::size_t>(t.dirList.isValid(pairs.del) ? t.dirList.childCount(pairs.del) : 0), walk,
                walk / duplicates, (c1 - c0) / duplicates);
    std::printf("%s: inside the shell's operation (check and recycle bin) %.2f ms per file (processor %.2f ms); "
                "beyond: %.3f ms per file (processor %.3f ms)\n",
                name, services.wallMs / duplicates, services.processorMs / duplicates,
                (walk - services.wallMs) / duplicates, (c1 - c0 - services.processorMs) / duplicates);
    // The trees lay themselves out once, after the walk's last file: apart from the files.
    std::printf("%s: until the handler returns, beyond: %.3f ms per file (processor %.3f ms); the trees' layout "
                "and painting at the end: %.1f ms (processor %.1f ms)\n",
                name, (ms(t0, tHandler) - services.wallMs) / duplicates, (cHandler - c0 - services.processorMs) / duplicates,
                ms(tHandler, t1), c1 - cHandler);
    return walk;
}

// The disk's parts of a deletion alone, on the second set of the same files: the check that
// another copy still holds the bytes, and the recycle bin; what the walk costs beyond them.
void timeDiskPartsAlone(PlatformServices& services, const fs::path& alone, int duplicates, double walk) {
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
    std::printf("walk beyond check and recycle bin timed apart: %.2f ms per file\n", (walk - check - trash) / duplicates);
}

// The files the walks send away: pairs for each walk and for the disk's parts timed alone,
// and with copies, one big group for each walk.
void writeBenchFiles(const std::string& work, int duplicates, int copies) {
    for (const char* folder : {"walk", "tree", "alone"}) writePairs(fs::path(work) / folder, duplicates);
    if (copies <= 0) return;
    writeBigGroup(fs::path(work) / "big", copies);
    writeBigGroup(fs::path(work) / "bigtree", copies);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t nodes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100'000;
    const int duplicates = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::string base = argc > 3 ? argv[3] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/var/tmp");
    const int copies = argc > 4 ? std::atoi(argv[4]) : 0;
    const std::string work = makeWorkFolder(base);
    if (work.empty()) return 1;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    writeBenchFiles(work, duplicates, copies);

    TimedServices services;
    Application app(argc, argv, services);
    Session session(services);
    T_EcrPrin w(session);
    if (w.startupRefused()) return 1;
    showWithoutSplash(w);

    ResultTrees& t = session.viewStores().results;
    const NodeId first = addPlannedRoot(t, nodes);
    const PairsRoot pairs = addPairsRoot(t, fs::path(work) / "walk", duplicates);
    const PairsRoot treePairs = addPairsRoot(t, fs::path(work) / "tree", duplicates);
    PairsRoot big{}, bigTree{};
    if (copies > 0) {
        big = addBigGroupRoot(t, fs::path(work) / "big", copies);
        bigTree = addBigGroupRoot(t, fs::path(work) / "bigtree", copies);
    }

    auto* view = w.findChild<QTreeView*>(QStringLiteral("DirList"));
    const DirListView dirList{t.dirList, view, qobject_cast<TreeModel*>(view->model())};
    w.showResultsPage();
    t.dirList.select(first);
    view->setFocus();
    settle();
    std::printf("DirList %zu nodes (first root %zu), DblList %zu nodes\n", t.dirList.nodeCount(),
                t.dirList.nodeCount() - 6 - 4 * static_cast<std::size_t>(duplicates) -
                    (copies > 0 ? 6 + 2 * static_cast<std::size_t>(copies + 1) : 0),
                t.dblList.nodeCount());

    timeFolding("Tout Déplier", &T_EcrPrin::ToutDeplierClick, w, dirList, first);
    timeFolding("Tout Replier", &T_EcrPrin::ToutReplierClick, w, dirList, first);
    const double walk = timeWalk(w, services, pairs, work, duplicates, false);
    timeWalk(w, services, treePairs, work, duplicates, true);
    timeDiskPartsAlone(services, fs::path(work) / "alone", duplicates, walk);
    if (copies > 0) {
        std::printf("one group of %d copies (peak memory so far %ld MB):\n", copies + 1, peakMemoryMb());
        timeWalk(w, services, big, work, copies, false);
        timeWalk(w, services, bigTree, work, copies, true);
        std::printf("peak memory %ld MB\n", peakMemoryMb());
    }

    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
