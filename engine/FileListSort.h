#pragma once
// External sort of the file list by decreasing size, in the fixed block buffers: blocks of
// 243 records are quicksorted into level-0 runs, and runs of equal level are merged two by
// two until one run holds everything; that run then takes the file list's name.
#include <string>

#include "engine/RunContext.h"

namespace parelix {

class FileListSort {
public:
    explicit FileListSort(RunContext& run) : run_(run) {}

    void run();
    // A run file left open by an input/output error, closed before the work files are
    // bound again or deleted.
    void closeRunOutput();

    // Run-file name: the file list name with the extension ".0<level><side>".
    static std::string runFileName(const std::string& fileListName, int level, int side);

private:
    void buildRun(int level, int side);
    void merge(int level, int side);
    void sortBlock(int first, int last);
    void removeRunFiles(int topLevel);   // after a failure: closes and deletes levels 0..topLevel

    RunContext& run_;
    SortBuffers buffers_{};
    bool endOfInput_ = false;
    WorkFile* currentOutput_ = nullptr;
    WorkFile runOutput_;
};

}  // namespace parelix
