#pragma once
// What the duplicates take and what deleting them gave back, in the units people read. The
// extra copies are every member of a group but one: deleting them all keeps one copy of
// each file. The rows' tooltips (RowHints.h) and the window's figures share these.
#include <cstdint>
#include <string>

#include "platform/Drives.h"
#include "results/ResultTrees.h"

namespace parelix {

// A size as the French desktop writes it: "512 octets", "1,5 Ko", "80 Mo", "2,3 Go"
// (units of 1024; one decimal, rounded, below 10; never 1024 of a unit; a no-break space
// before the unit).
std::string readableSize(std::uint64_t bytes);
// A count with its thousands apart, by a narrow no-break space: "2 994". Every count the
// program writes in a sentence goes through it.
std::string groupedCount(std::uint64_t count);

// The copies beyond the first of every group, and the bytes they take.
struct ExtraCopies {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    bool operator==(const ExtraCopies&) const = default;
};
// One pass over the groups, once per search and once per deletion act (a walk of many
// files makes one): over 300,000 groups in a million nodes it took about 40 ms
// (bench/tree_bench), nothing beside a deletion's own cost.
ExtraCopies extraCopies(const TreeStore& dblList);

// What the program's deletions sent to the recycle bin since it started.
struct Freed {
    std::uint64_t sent = 0;    // files and folders handed to the shell, and moved
    std::uint64_t bytes = 0;   // their files' bytes (bytesOnDisk)
};

// "Copies en trop : 2 994 (2,9 Go)", and once something went,
// "Copies en trop : 2 994 (2,9 Go) — Libéré : 1,2 Go".
std::string spaceFiguresText(const ExtraCopies& extra, const Freed& freed);

// The bytes of the files the trees list at or below a DirList node, as they are on disk
// now: a file gone or no longer regular counts nothing, a folder counts the files the
// walk listed in it (not the folder entries themselves, nor files that came since).
std::uint64_t bytesOnDisk(const ResultTrees& trees, const DriveTable& drives, NodeId node);

}  // namespace parelix
