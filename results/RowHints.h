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

// A size in the units people read, as the French desktop writes them: "512 octets",
// "1,5 Ko", "80 Mo", "2,3 Go" (units of 1024; one decimal below 10).
std::string readableSize(std::uint64_t bytes);

// The size of a group's files, read from its text "(4294967306)"; none for another text.
std::optional<std::uint64_t> groupSize(const TreeStore& dbl, NodeId group);

// A file that is no duplicate is looked up on disk, over the drive table.
std::string dirListHint(const ResultTrees& trees, const DriveTable& drives, NodeId node);
std::string dblListHint(const ResultTrees& trees, NodeId node);

}  // namespace parelix
