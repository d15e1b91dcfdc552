#pragma once
// Duplicate detection: walks the file list sorted by decreasing size one size class at a
// time and builds the groups of DblList. The record window over the list is a
// FileListCursor; each class is a SizeClassCompare.
#include <string>

#include "engine/RunContext.h"

namespace parelix {

class DuplicateSearch {
public:
    explicit DuplicateSearch(RunContext& run) : run_(run) {}

    // Compares the whole list, until Stop clears the comparing flag.
    void run();

private:
    void compare(const std::string& listName, const CompareBuffers& buffers);
    RunContext& run_;
};

}  // namespace parelix
