#pragma once
// The collection walk: mirrors every search path into DirList and writes one file-entry
// record per file and one directory record per directory to the work files.
#include <string>
#include <vector>

#include "engine/ListingsAhead.h"
#include "engine/RunContext.h"
#include "platform/NeverSearched.h"
#include "platform/SearchedFile.h"

namespace parelix {

class CollectionWalk {
public:
    explicit CollectionWalk(RunContext& run) : run_(run) {}

    // Walks the search paths in list order, until Stop clears the collecting flag. The
    // exclusions are drives, folders and files as the search list holds them: the walk
    // neither enters nor collects them nor the trash folders (NeverSearched), and skips a
    // search path that lies inside one, with a line in the log.
    // Folders are listed ahead on a second thread when a processor is idle at the start
    // (PARELIX_WALK_AHEAD=1 always, =0 never); nothing the walk shows depends on it.
    void run(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions = {});

private:
    void walkDirectory(NodeId node, const std::string& path);
    void walkEntries(NodeId node, const std::string& path, std::uint32_t dirIndex, const FolderListing& listing);
    // The subfolders of a listed folder the walk will enter, in its order.
    void plan(const std::string& path, const FolderListing& listing, std::vector<std::string>& out) const;
    // The reason a search path is not walked at all, as the start of its log line; "" when
    // it is walked.
    std::string skipReason(const std::string& searchPath) const;

    RunContext& run_;
    // The listings, read ahead or not; they also keep the directories entered, so that none
    // is entered twice. Set while run() walks.
    ListingsAhead* listings_ = nullptr;
    // The system's error when a folder could not be opened for want of descriptors or
    // memory: the walk goes no further and the run ends with it.
    int shortage_ = 0;
    // What the walk never enters nor collects (trash folders, exclusions), made when the
    // run starts. Set while run() walks; the helper thread reads it too.
    const NeverSearched* never_ = nullptr;
};

}  // namespace parelix
