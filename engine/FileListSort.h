#pragma once
// External sort of the file list by decreasing size, in the fixed block buffers: blocks of
// 243 records are quicksorted into level-0 runs, and runs of equal level are merged two by
// two until one run holds everything; that run then takes the file list's name.
//
// The runs only ever need the next 243 records of the list, so the sort may run ahead on a
// thread of its own while the walk writes the list: each block is taken once the walk has
// handed it to the system, and when the walk ends only the runs of the list's tail and the
// merges above them are left. The last merge, which writes the sorted list, hands its records
// on as it writes them, so that the comparison may begin on the sizes already merged. The
// run files, their order and their contents are the same either way, and nothing of it shows.
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "engine/RecordGate.h"
#include "engine/RunContext.h"

namespace parelix {

class FileListSort {
public:
    explicit FileListSort(RunContext& run) : run_(run) {}
    ~FileListSort();   // a sort still ahead is given up
    FileListSort(const FileListSort&) = delete;
    FileListSort& operator=(const FileListSort&) = delete;

    // Whether the next runs sort ahead of the walk (by default when two processors are
    // allowed; PARELIX_SORT_AHEAD=0 or 1 forces it).
    enum class Ahead { Auto, Never, Always };
    void setAhead(Ahead ahead) { aheadMode_ = ahead; }
    // Tests: called on the sort's thread after each block the last merge writes, and after each
    // run made from the walk's records.
    std::function<void()> paceForTests;

    // Before the walk: starts sorting the records it will hand over, when sorting ahead.
    void startAhead();
    // The phase, after the walk: its log line, then the sort, or, when it ran ahead, the wait
    // until only its last merge is left (run_.sorted then names the list being written).
    void run();
    // After the comparison: the last merge is over and the sorted list bears the file list's
    // name; raises its error, if any.
    void finish();
    // The sort is of no more use (too few files, the program's end, an error): its thread
    // stops and its run files go. Does nothing once finished.
    void giveUp();
    // A run file left open by an input/output error, closed before the work files are
    // bound again or deleted.
    void closeRunOutput();

    // Run-file name: the file list name with the extension ".0<level><side>".
    static std::string runFileName(const std::string& fileListName, int level, int side);

private:
    enum class Stage { Idle, Ahead, LastMerge, Done, Failed };

    void sortAhead();
    void sortAll(int& level, bool ahead);
    void setStage(Stage stage);
    int readBlock();
    void buildRun(int level, int side);
    void merge(int level, int side, bool last);
    void handOverMerged();
    void sortBlock(int first, int last);
    void removeRunFiles(int topLevel);   // after a failure: closes and deletes levels 0..topLevel

    RunContext& run_;
    Ahead aheadMode_ = Ahead::Auto;
    SortBuffers buffers_{};
    bool endOfInput_ = false;
    bool ahead_ = false;
    std::int64_t taken_ = 0;   // records of the list made into runs
    WorkFile* currentOutput_ = nullptr;
    WorkFile input_;
    WorkFile runOutput_;

    std::mutex mutex_;
    std::condition_variable stageChanged_;
    Stage stage_ = Stage::Idle;
    std::exception_ptr error_;
    std::string lastMergeName_;   // the sorted list's run file, once known
    int topLevel_ = 0;            // the highest level of its run files
    std::thread thread_;
};

}  // namespace parelix
