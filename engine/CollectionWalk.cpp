#include "engine/CollectionWalk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/Records.h"
#include "platform/DirEnum.h"
#include "platform/Processors.h"
#include "platform/Text.h"
#include "platform/WorkFile.h"

namespace parelix {

namespace {

const std::string kDirPrefix = "--> ";

// A path that, with its backslash, no short string holds: its folder is reported, not walked.
bool tooLong(const std::string& path) { return path.size() + 1 > kShortStringMax; }

// Whether a second thread lists the folders ahead of the walk.
bool listAhead() {
    if (const char* forced = std::getenv("PARELIX_WALK_AHEAD"); forced && *forced)
        return std::strcmp(forced, "0") != 0;
    // This thread's processor and one more, idle now and a moment later: otherwise the
    // second thread would only take turns with this one, or with another program.
    return processorsIdle(1) >= 2 && processorsIdle(1) >= 2;
}

}  // namespace

std::string CollectionWalk::skipReason(const std::string& searchPath) const {
    switch (never_->skipped(searchPath)) {
    case NeverSearched::Reason::Excluded: return "Chemin exclu, répertoire ignoré : ";
    case NeverSearched::Reason::Trash: return "Corbeille, répertoire ignoré : ";
    case NeverSearched::Reason::None: break;
    }
    return {};
}

void CollectionWalk::run(const std::vector<std::string>& searchPaths, const std::vector<std::string>& exclusions) {
    run_.state.beginCollection();
    run_.ui.logLine("Collecte des informations");
    run_.ui.phaseStarted(SearchPhase::Collection, 0);

    run_.fileList.rewrite(kFileEntrySize);
    run_.dirList.rewrite(kDirRecordSize);
    run_.fileCount = 0;
    run_.dirCount = 0;
    shortage_ = 0;
    // The trash folders as the mount table has them now: a file system mounted since the
    // program started has its own.
    const NeverSearched never(run_.drives(), exclusions);
    never_ = &never;

    ListingsAhead listings(run_.drives(), [this](const std::string& path, const FolderListing& listing,
                                                 std::vector<std::string>& out) { plan(path, listing, out); });
    std::vector<std::string> roots;
    for (const std::string& entry : searchPaths)
        if (const std::string path = cut255(entry); skipReason(path).empty() && !tooLong(path)) roots.push_back(path);
    listings.begin(std::move(roots), listAhead());
    listings_ = &listings;
    struct Forget {
        ListingsAhead*& listings;
        const NeverSearched*& never;
        ~Forget() {
            listings = nullptr;
            never = nullptr;
        }
    } forget{listings_, never_};

    for (const std::string& entry : searchPaths) {
        if (shortage_ != 0) break;
        const std::string path = cut255(entry);
        const NodeId node = run_.trees.dirList.addChild(kNoNode, path);
        // A search path the user excluded, or one inside a trash folder, keeps its unwalked
        // node and is reported once.
        if (const std::string reason = run_.state.collecting() ? skipReason(path) : std::string(); !reason.empty())
            run_.ui.logLine(reason + path);
        else
            walkDirectory(node, path);
        run_.ui.searchPathWalked();
    }

    // Every listing is closed and no thread reads ahead once the folders are walked.
    listings.stop();
    // Raised once every listing of the walk is closed, so that what reports it has the
    // descriptors it needs; the work files stay open, as any input/output error leaves them.
    if (shortage_ != 0) raiseInOutError(inOutCodeFromErrno(shortage_));
    run_.fileList.close();
    run_.listWritten.finish(run_.fileCount);
    run_.dirList.close();
    run_.ui.logLine(std::to_string(run_.fileCount) + " fichiers dans " +
                    std::to_string(run_.dirCount) + " répertoires");
    run_.state.endCollection();
    run_.ui.phaseEnded(SearchPhase::Collection, run_.fileCount);
}

// path comes uncut, so that a path too long to name the directory is told apart from one
// that merely ends at the limit.
void CollectionWalk::walkDirectory(NodeId node, const std::string& path) {
    if (!run_.state.collecting() || shortage_ != 0) return;
    // A cut path no longer names this directory and may lead back into its parent: such a
    // directory keeps its unwalked node and is reported instead.
    if (tooLong(path)) {
        run_.ui.logLine("Chemin trop long, répertoire ignoré : " + cut255(path));
        return;
    }

    run_.ui.folderEntered(path);
    run_.ui.eventTurn();
    // A Stop clicked in this turn: this folder is still listed, nothing more is read ahead.
    if (!run_.state.collecting()) listings_->stop();

    const std::string dirPath = path + '\\';
    const ListingsAhead::Taken taken = listings_->take(path);
    const FolderListing& listing = taken.listing;
    // Without descriptors or memory every folder from here on would look empty: the walk
    // stops, and the run ends with the error rather than with a count that silently lacks
    // their files.
    if (listing.wantedResources) {
        shortage_ = listing.openError;
        listings_->stop();
        return;
    }
    // A directory reached a second time (a bind mount of an ancestor, a search path inside
    // another) would show each of its files twice, each copy looking like the other's
    // double: it keeps its unwalked node and is reported instead.
    if (taken.enteredBefore) {
        run_.ui.logLine("Répertoire déjà parcouru, ignoré : " + cut255(path));
        return;
    }

    TreeStore& tree = run_.trees.dirList;
    tree.setKind(node, NodeKind::Folder);
    tree.setCounter(node, 0);
    std::uint8_t record[kFileEntrySize] = {};
    encodeDirRecord(dirPath, record);
    run_.dirList.write(record);
    const std::uint32_t dirIndex = static_cast<std::uint32_t>(run_.dirCount);
    ++run_.dirCount;

    walkEntries(node, path, dirIndex, listing);
    tree.sortChildren(node);
    // The sort ahead may take the records the system has now.
    run_.listWritten.handOver(run_.fileList.recordsOut());
}

// The folder's entries as its listing gives them: files recorded, subfolders walked.
void CollectionWalk::walkEntries(NodeId node, const std::string& path, std::uint32_t dirIndex,
                                 const FolderListing& listing) {
    TreeStore& tree = run_.trees.dirList;
    const std::string dirPath = path + '\\';
    const std::vector<std::string>* excluded = never_->skippedIn(path);
    std::uint8_t record[kFileEntrySize] = {};
    for (const ListedEntry& entry : listing.entries) {
        const std::string& name = entry.name;
        // A name no path can hold is said once, where the listing met it.
        if (entry.unnameable) {
            run_.ui.logLine(std::string((entry.attributes & faDirectory) ? "Nom contenant « \\ », répertoire ignoré : "
                                                                         : "Nom contenant « \\ », fichier ignoré : ") +
                            cut255(dirPath + name));
            continue;
        }
        // Excluded folders and files, trash folders: no node, no record, no line.
        if (excluded && std::find(excluded->begin(), excluded->end(), name) != excluded->end()) continue;
        if (entry.attributes & faDirectory) {
            // A node text holds 255 characters like every short string: a name near the
            // limit loses its end to the prefix.
            const NodeId child = tree.addChild(node, cut255(kDirPrefix + name));
            walkDirectory(child, dirPath + name);
            if (shortage_ != 0) break;
        } else if (!(entry.attributes & faVolumeID)) {
            const NodeId child = tree.addChild(node, name, NodeKind::File);
            tree.setCounter(child, 0);
            // Low 32 bits of the size, read as signed.
            const auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry.size));
            encodeFileEntry(name, size, dirIndex, child, record);
            run_.fileList.write(record);
            ++run_.fileCount;
        }
    }
}

// Read on the helper's thread too: it reads only what run() set before the helper started.
void CollectionWalk::plan(const std::string& path, const FolderListing& listing, std::vector<std::string>& out) const {
    const std::vector<std::string>* excluded = never_->skippedIn(path);
    for (const ListedEntry& entry : listing.entries) {
        if (entry.unnameable || !(entry.attributes & faDirectory)) continue;
        if (excluded && std::find(excluded->begin(), excluded->end(), entry.name) != excluded->end()) continue;
        std::string child = path + '\\' + entry.name;
        if (!tooLong(child)) out.push_back(std::move(child));
    }
}

}  // namespace parelix
