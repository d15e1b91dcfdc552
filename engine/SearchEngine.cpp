// The search run as a whole: engine start-up and shut-down, the run's steps, and the
// three roles of the Stop button.
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
std::string currentFolder() {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return {};
    const std::optional<std::string> windows = DriveTable::current().toWindows(cwd.string());
    if (!windows || windows->empty()) return {};
    return windows->back() == '\\' ? *windows : *windows + '\\';
}

}  // namespace

SearchEngine::SearchEngine(ResultTrees& trees, SearchUi& ui) : trees_(trees), ui_(ui) {}

SearchEngine::~SearchEngine() {
    // The window shuts the engine down itself; this only keeps a forgotten shut-down from
    // leaving work files behind, and never lets an error out of a destructor.
    if (!buffer1_) return;
    try {
        shutdown();
    } catch (...) {
    }
}

void SearchEngine::startup() {
    buffer1_ = std::make_unique<std::uint8_t[]>(kBlockBufferSize);
    buffer2_ = std::make_unique<std::uint8_t[]>(kBlockBufferSize);
    buffer3_ = std::make_unique<std::uint8_t[]>(kBlockBufferSize);

    tempPath_ = GetTempPathA();
    if (!tempPath_.empty() && tempPath_.back() != '\\') tempPath_ = cut255(tempPath_ + '\\');

    const std::string folder = tempPath_.empty() ? currentFolder() : tempPath_;
    // The system picks unused names and creates both files empty; the file list first.
    fileListName_ = GetTempFileNameA(folder, "DBL", 0);
    dirListName_ = GetTempFileNameA(folder, "DBL", 0);
    file1_.assign(fileListName_);
    file2_.assign(dirListName_);
}

void SearchEngine::shutdown() {
    if (!buffer1_) return;   // not started, or shut down already
    closeIfOpen(file1_);
    closeIfOpen(file2_);
    closeIfOpen(runOutput_);
    // The directory list goes even when the file list cannot (a failed sort may have
    // deleted it): the first failure is reported once both were tried.
    std::exception_ptr failure;
    for (auto [file, name] : {std::pair{&file1_, &fileListName_}, std::pair{&file2_, &dirListName_}}) {
        try {
            file->assign(*name);
            file->erase();
        } catch (const InOutError&) {
            if (!failure) failure = std::current_exception();
        }
    }
    buffer1_.reset();
    buffer2_.reset();
    buffer3_.reset();
    if (failure) std::rethrow_exception(failure);
}

void SearchEngine::searchRun(const std::vector<std::string>& searchPaths) {
    if (abandoned_) return;
    running = true;
    const struct RunState {
        bool& flag;
        ~RunState() { flag = false; }
    } runState{running};
    trees_.clear();
    ui_.clearLog();
    ui_.showResultsMode();

    closeIfOpen(file1_);
    closeIfOpen(file2_);
    closeIfOpen(runOutput_);
    file1_.assign(fileListName_);
    file2_.assign(dirListName_);

    collectFiles(searchPaths);
    // A run abandoned because the program ends stops here: what follows is of use to nobody.
    if (abandoned_) return;

    if (fileCount < 1) {
        running = false;
        ui_.appendLog("Aucun fichier à traiter !");
    } else {
        ui_.enablePopupMenu();
        if (fileCount >= 2) {
            sortFileList();
            if (!abandoned_) findDuplicates();
        }
        if (abandoned_) return;
        trees_.dirList.select(trees_.dirList.firstRoot());
        ui_.focusDirList();
        running = false;
        ui_.appendLog("Fini !");
    }
    ui_.setStopCaption("Faire une autre sélection");
}

void SearchEngine::abandonRun() {
    abandoned_ = true;
    collecting = false;
    comparing = false;
}

SearchEngine::StopRole SearchEngine::stop() {
    if (collecting) {
        collecting = false;
        return StopRole::StoppedCollection;
    }
    if (comparing) {
        comparing = false;
        return StopRole::StoppedComparison;
    }
    return StopRole::Idle;
}

std::string SearchEngine::runFileName(const std::string& fileListName, int level, int side) {
    const char ext[5] = {'.', '0', static_cast<char>(level < 10 ? '0' + level : level + 55),
                         static_cast<char>('0' + side), '\0'};
    // Only a dot inside the last component starts an extension.
    const std::size_t lastSep = fileListName.find_last_of('\\');
    const std::size_t dot = fileListName.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (lastSep == std::string::npos || dot > lastSep);
    return (hasExt ? fileListName.substr(0, dot) : fileListName) + ext;
}

}  // namespace parelix
