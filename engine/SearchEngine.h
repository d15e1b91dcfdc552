#pragma once
// The search engine: work files, block buffers, run flags and counters, and the search run
// with its three phases (collection walk, external sort by size, duplicate detection).
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/Records.h"
#include "engine/SearchUi.h"
#include "platform/SearchedFile.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"

namespace parelix {

class SearchEngine {
public:
    SearchEngine(ResultTrees& trees, SearchUi& ui);
    ~SearchEngine();
    SearchEngine(const SearchEngine&) = delete;
    SearchEngine& operator=(const SearchEngine&) = delete;

    // Allocates the three block buffers, fixes the temporary folder, creates and names
    // the two work files.
    void startup();
    // Deletes both work files and releases the buffers; a failed deletion raises InOutError.
    void shutdown();

    // The window may close only while neither flag is set.
    bool canClose() const { return !collecting && !comparing; }

    // The program is ending (a signal asked it to): the run under way, if any, stops its
    // phase and starts no other, and the window may close. For good: no run starts again.
    void abandonRun();
    bool abandoned() const { return abandoned_; }

    // The search run of BtnCherche, on the search list's entries in list order.
    void searchRun(const std::vector<std::string>& searchPaths);

    enum class StopRole { StoppedCollection, StoppedComparison, Idle };
    // Stop button, engine side: clears the collecting flag, else the comparing flag;
    // Idle tells the window to return to selection mode.
    StopRole stop();

    // The phases, as the search run calls them.
    void collectFiles(const std::vector<std::string>& searchPaths);
    void sortFileList();
    void findDuplicates();

    // State, read by the window and by tests.
    // From the run's first log line until just before its last ("Fini !" or "Aucun fichier à
    // traiter !"): the trees are being built and the records refer to their nodes, so
    // nothing may remove a node. Cleared too when an error ends the run.
    bool running = false;
    bool collecting = false;
    bool comparing = false;
    std::int32_t fileCount = 0;
    std::int32_t dirCount = 0;
    const std::string& tempPath() const { return tempPath_; }
    const std::string& fileListName() const { return fileListName_; }
    const std::string& dirListName() const { return dirListName_; }

    // Run-file name of the sort: the file list name with the extension ".0<level><side>".
    static std::string runFileName(const std::string& fileListName, int level, int side);

private:
    // Collection walk.
    void walkDirectory(NodeId node, const std::string& path);
    // Directories the walk of this run has entered: none is entered twice.
    std::unordered_set<FileIdentity, FileIdentityHash> walkedFolders_;
    // External sort.
    void buildRun(int level, int side);
    void merge(int level, int side);
    void sortBlock(int first, int last);
    void removeRunFiles(int topLevel);   // after a failure: closes and deletes levels 0..topLevel

    ResultTrees& trees_;
    SearchUi& ui_;
    std::string tempPath_;
    std::string fileListName_;
    std::string dirListName_;
    WorkFile file1_;   // file list
    WorkFile file2_;   // directory list
    std::unique_ptr<std::uint8_t[]> buffer1_;
    std::unique_ptr<std::uint8_t[]> buffer2_;
    std::unique_ptr<std::uint8_t[]> buffer3_;

    bool abandoned_ = false;

    // Sort state.
    bool endOfInput_ = false;
    WorkFile* currentOutput_ = nullptr;
    WorkFile runOutput_;
};

}  // namespace parelix
