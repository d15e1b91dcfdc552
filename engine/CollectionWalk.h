#pragma once
// The collection walk: mirrors every search path into DirList and writes one file-entry
// record per file and one directory record per directory to the work files.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/RunContext.h"
#include "platform/SearchedFile.h"

namespace parelix {

class CollectionWalk {
public:
    explicit CollectionWalk(RunContext& run) : run_(run) {}

    // Walks the search paths in list order, until Stop clears the collecting flag. The
    // exclusions are drives, folders and files as the search list holds them: the walk
    // neither enters nor collects them, and skips a search path that lies inside one.
    void run(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions = {});

private:
    void walkDirectory(NodeId node, const std::string& path);
    // The reason a search path is not walked at all, as the start of its log line; "" when
    // it is walked.
    std::string skipReason(const std::string& searchPath) const;

    RunContext& run_;
    // Directories this walk has entered: none is entered twice.
    std::unordered_set<FileIdentity, FileIdentityHash> walkedFolders_;
    // The system's error when a folder could not be opened for want of descriptors or
    // memory: the walk goes no further and the run ends with it.
    int shortage_ = 0;
    std::vector<std::string> exclusions_;
    // The names excluded in each folder, by the folder's path as the walk builds it: one
    // look-up per folder, and none at all without exclusions.
    std::unordered_map<std::string, std::vector<std::string>> excludedNames_;
};

}  // namespace parelix
