#pragma once
// What the three stages of a search run share: the window, the result trees, the run state,
// the two work files with their names, the block buffers and the counts of the walk.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/CompareParts.h"
#include "engine/Records.h"
#include "engine/RunState.h"
#include "engine/SearchUi.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"

namespace parelix {

struct RunContext {
    RunContext(ResultTrees& trees, SearchUi& ui) : trees(trees), ui(ui) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    ResultTrees& trees;
    SearchUi& ui;
    RunState state;

    // Named once at start-up, bound again by every stage that reads or writes them.
    std::string tempPath;
    std::string fileListName;
    std::string dirListName;
    WorkFile fileList;
    WorkFile dirList;
    // Three buffers of kBlockBufferSize bytes, from start-up to shut-down.
    std::unique_ptr<std::uint8_t[]> buffer1;
    std::unique_ptr<std::uint8_t[]> buffer2;
    std::unique_ptr<std::uint8_t[]> buffer3;

    // The comparison's bounds; tests narrow them to reach their edges with few files.
    CompareLimits limits;

    // Records the walk wrote to each list.
    std::int32_t fileCount = 0;
    std::int32_t dirCount = 0;
};

}  // namespace parelix
