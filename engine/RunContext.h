#pragma once
// What the three stages of a search run share: the window, the result trees, the system's
// services, the run state,
// the two work files with their names, the block buffers and the counts of the walk.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/CompareParts.h"
#include "engine/Records.h"
#include "engine/RecordGate.h"
#include "engine/RunState.h"
#include "engine/SearchUi.h"
#include "platform/Services.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"

namespace parelix {

// The block buffers as the sort uses them: a block of records quicksorted into a level-0 run,
// then the merge's two inputs and its output. The block and the left input share a buffer.
struct SortBuffers {
    std::uint8_t* block;
    std::uint8_t* left;
    std::uint8_t* right;
    std::uint8_t* output;
};

// The block buffers as the comparison uses them: the window of the sorted list, and a chunk
// of each of the two files being compared.
struct CompareBuffers {
    std::uint8_t* recordWindow;
    std::uint8_t* chunkA;
    std::uint8_t* chunkB;
};

struct RunContext {
    RunContext(ResultTrees& resultTrees, SearchUi& searchUi, const PlatformServices& platform)
        : trees(resultTrees), ui(searchUi), services(platform) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    ResultTrees& trees;
    SearchUi& ui;
    // The drive table the paths are mapped over, and the read call for searched files.
    const PlatformServices& services;
    const DriveTable& drives() const { return services.drives(); }
    RunState state;

    // Named once at start-up, bound again by every stage that reads or writes them.
    std::string tempPath;
    std::string fileListName;
    std::string dirListName;
    WorkFile fileList;
    WorkFile dirList;
    // Three buffers of kBlockBufferSize bytes, from start-up to shut-down; each stage takes
    // them under the names of its own roles.
    std::array<std::unique_ptr<std::uint8_t[]>, 3> blocks;
    bool started() const { return blocks[0] != nullptr; }
    SortBuffers sortBuffers() const {
        return {blocks[0].get(), blocks[0].get(), blocks[1].get(), blocks[2].get()};
    }
    CompareBuffers compareBuffers() const { return {blocks[0].get(), blocks[1].get(), blocks[2].get()}; }

    // The comparison's bounds; tests narrow them to reach their edges with few files.
    CompareLimits limits;
    CompareTally tally;

    // Records the walk wrote to each list.
    std::int32_t fileCount = 0;
    std::int32_t dirCount = 0;

    // When the sort runs ahead on its own thread: the walk's records of the file list that the
    // system has, and the sorted list's (a run file while the last merge writes it; the sort
    // gives it the file list's name afterwards). sortedGrowing: the comparison reads
    // sortedName as far as sortedWritten allows; otherwise the file list, complete.
    RecordGate listWritten;
    RecordGate sortedWritten;
    std::string sortedName;
    bool sortedGrowing = false;
};

}  // namespace parelix
