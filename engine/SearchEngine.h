#pragma once
// The search engine: starts up and shuts down the run context (work files, block buffers),
// runs a search through its three stages (collection walk, sort by size, duplicate search)
// and plays the engine's part of the Stop button and of the close query.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CollectionWalk.h"
#include "engine/DuplicateSearch.h"
#include "engine/FileListSort.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "engine/SearchUi.h"
#include "results/ResultTrees.h"

namespace parelix {

class SearchEngine {
public:
    // The paths are mapped over the services' drive table, the searched files read through
    // their read call; they must outlive the engine.
    SearchEngine(ResultTrees& trees, SearchUi& ui, const PlatformServices& services);
    ~SearchEngine();
    SearchEngine(const SearchEngine&) = delete;
    SearchEngine& operator=(const SearchEngine&) = delete;

    // Allocates the three block buffers, fixes the temporary folder, creates and names
    // the two work files.
    void startup();
    // Deletes both work files and releases the buffers; a failed deletion raises InOutError.
    void shutdown();

    // The window may close only while no phase runs.
    bool canClose() const { return run_.state.canClose(); }

    // The program is ending (a signal asked it to): the run under way, if any, stops its
    // phase and starts no other, and the window may close. For good: no run starts again.
    void abandonRun() { run_.state.abandon(); }
    bool abandoned() const { return run_.state.abandoned(); }

    // The search run of BtnCherche, on the search list's entries in list order, leaving out
    // the exclusion list's entries.
    void searchRun(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions = {});

    using StopRole = RunState::StopRole;
    // Stop button, engine side: clears the collecting flag, else the comparing flag;
    // Idle tells the window to return to selection mode.
    StopRole stop() { return run_.state.stop(); }

    // The stages, as the search run calls them.
    void collectFiles(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions = {}) {
        walk_.run(searchPaths, exclusions);
    }
    void sortFileList() { sort_.run(); }
    // How the search run sorts: ahead of the walk or after it (tests, benchmarks).
    FileListSort& sortStage() { return sort_; }
    void findDuplicates() { duplicates_.run(); }
    // The same, over work files someone other than the walk wrote (tests, tools): their
    // record counts, as the walk would have left them.
    void findDuplicates(std::int32_t files, std::int32_t dirs) {
        run_.fileCount = files;
        run_.dirCount = dirs;
        duplicates_.run();
    }

    // State, read by the window and by tests.
    const RunState& runState() const { return run_.state; }
    bool running() const { return run_.state.running(); }
    bool collecting() const { return run_.state.collecting(); }
    bool comparing() const { return run_.state.comparing(); }
    std::int32_t fileCount() const { return run_.fileCount; }
    std::int32_t dirCount() const { return run_.dirCount; }
    const std::string& tempPath() const { return run_.tempPath; }
    const std::string& fileListName() const { return run_.fileListName; }
    const std::string& dirListName() const { return run_.dirListName; }

    CompareLimits& compareLimits() { return run_.limits; }
    const CompareTally& compareTally() const { return run_.tally; }

private:
    RunContext run_;
    CollectionWalk walk_{run_};
    FileListSort sort_{run_};
    DuplicateSearch duplicates_{run_};
};

}  // namespace parelix
