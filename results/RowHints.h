#pragma once
// The tooltips of the result trees' rows: a narrow pane cuts every long name short, so each
// row says in full what it is. A DirList node: its full path, and for a file its size. A
// DblList member: its file's full path and size. A group: how many copies of what size, and
// what deleting all but one would free ("3 × 80 Mo, 160 Mo à libérer").
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Drives.h"
#include "results/ResultTrees.h"

namespace parelix {

// A file that is no duplicate is looked up on disk, over the drive table.
std::string dirListHint(const ResultTrees& trees, const DriveTable& drives, NodeId node);
std::string dblListHint(const ResultTrees& trees, NodeId node);

}  // namespace parelix
