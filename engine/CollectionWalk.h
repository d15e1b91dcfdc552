#pragma once
// The collection walk: mirrors every search path into DirList and writes one file-entry
// record per file and one directory record per directory to the work files.
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/RunContext.h"
#include "platform/SearchedFile.h"

namespace parelix {

class CollectionWalk {
public:
    explicit CollectionWalk(RunContext& run) : run_(run) {}

    // Walks the search paths in list order, until Stop clears the collecting flag; the
    // exclusions are entries as the search list holds them ("X:", or a path without a
    // trailing backslash).
    void run(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions = {});

private:
    void walkDirectory(NodeId node, const std::string& path);

    RunContext& run_;
    // Directories this walk has entered: none is entered twice.
    std::unordered_set<FileIdentity, FileIdentityHash> walkedFolders_;
};

}  // namespace parelix
