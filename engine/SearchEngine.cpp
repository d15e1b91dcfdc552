// The search run as a whole: engine start-up and shut-down, and the run's steps.
#include "engine/SearchEngine.h"

#include <exception>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/Drives.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace parelix {

namespace {

// A work file left open by a run that an input/output error interrupted must be closed
// before it can be bound again; its own flush error has been reported already.
void closeIfOpen(WorkFile& file) {
    if (!file.isOpen()) return;
    try {
        file.close();
    } catch (const InOutError&) {
    }
}

// Where the work files go when the system names no temporary folder: the current
// directory, as a Windows-style folder path ending with a backslash ("" if unnameable).
std::string currentFolder(const DriveTable& drives) {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return {};
    const std::optional<std::string> windows = drives.toWindows(cwd.string());
    if (!windows || windows->empty()) return {};
    return windows->back() == '\\' ? *windows : *windows + '\\';
}

}  // namespace

SearchEngine::SearchEngine(ResultTrees& trees, SearchUi& ui, const PlatformServices& services)
    : run_(trees, ui, services) {}

SearchEngine::~SearchEngine() {
    // The window shuts the engine down itself; this only keeps a forgotten shut-down from
    // leaving work files behind, and never lets an error out of a destructor.
    if (!run_.started()) return;
    try {
        shutdown();
    } catch (...) {
    }
}

void SearchEngine::startup() {
    for (auto& block : run_.blocks) block = std::make_unique<std::uint8_t[]>(kBlockBufferSize);

    std::string& temp = run_.tempPath;
    const DriveTable& drives = run_.drives();
    temp = GetTempPathA(drives);
    if (!temp.empty() && temp.back() != '\\') temp = cut255(temp + '\\');

    const std::string folder = temp.empty() ? currentFolder(drives) : temp;
    // The system picks unused names and creates both files empty; the file list first.
    run_.fileListName = GetTempFileNameA(drives, folder, "DBL", 0);
    run_.dirListName = GetTempFileNameA(drives, folder, "DBL", 0);
    run_.fileList.assign(run_.fileListName, run_.drives());
    run_.dirList.assign(run_.dirListName, run_.drives());
}

void SearchEngine::shutdown() {
    if (!run_.started()) return;   // not started, or shut down already
    closeIfOpen(run_.fileList);
    closeIfOpen(run_.dirList);
    sort_.closeRunOutput();
    // The directory list goes even when the file list cannot (a failed sort may have
    // deleted it): the first failure is reported once both were tried.
    std::exception_ptr failure;
    for (auto [file, name] : {std::pair{&run_.fileList, &run_.fileListName},
                              std::pair{&run_.dirList, &run_.dirListName}}) {
        try {
            file->assign(*name, run_.drives());
            file->erase();
        } catch (const InOutError&) {
            if (!failure) failure = std::current_exception();
        }
    }
    for (auto& block : run_.blocks) block.reset();
    if (failure) std::rethrow_exception(failure);
}

void SearchEngine::searchRun(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions) {
    RunState& state = run_.state;
    if (state.abandoned()) return;
    const RunState::RunScope underWay(state);
    ResultTrees& trees = run_.trees;
    SearchUi& ui = run_.ui;
    trees.clear();
    ui.runStarted();

    closeIfOpen(run_.fileList);
    closeIfOpen(run_.dirList);
    sort_.closeRunOutput();
    run_.fileList.assign(run_.fileListName, run_.drives());
    run_.dirList.assign(run_.dirListName, run_.drives());

    // The sort may take the walk's records as they come; whatever ends the run early stops it.
    sort_.startAhead();
    struct GiveUp {
        FileListSort& sort;
        ~GiveUp() { sort.giveUp(); }
    } giveUp{sort_};
    walk_.run(searchPaths, exclusions);
    // A run abandoned because the program ends stops here: what follows is of use to nobody.
    if (state.abandoned()) return;

    if (run_.fileCount < 2) sort_.giveUp();
    if (run_.fileCount < 1) {
        state.treesBuilt();
        ui.logLine("Aucun fichier à traiter !");
    } else {
        if (run_.fileCount >= 2) {
            sort_.run();
            if (!state.abandoned()) duplicates_.run();
            // The comparison may have begun while the sort wrote the sorted list.
            if (!state.abandoned()) sort_.finish();
        }
        if (state.abandoned()) return;
        trees.dirList.select(trees.dirList.firstRoot());
        ui.resultsReady();
        state.treesBuilt();
        ui.logLine("Fini !");
    }
    ui.runEnded();
}

}  // namespace parelix
