#pragma once
// The selection page's logic: the drive tree (every drive, and their directories listed
// lazily one level ahead of what the user has opened), the sorted search list and the
// sorted exclusion list. It holds no widget: the window mirrors the lists and the button
// states through the callbacks, and tests drive it headless over a TreeStore.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Drives.h"
#include "results/TreeStore.h"

namespace parelix {

// One entry of the search list.
struct SearchEntry {
    std::string text;        // "D:" for a drive, "D:\DATA" for a directory; the names' own bytes
    NodeId home = kNoNode;   // the tree node the added node hung under (the root for a drive)
};

// The two lists of the page: the search list (RepList) and the exclusion list (ExcList).
enum class PathList { Search, Exclusions };

// What the window shows of the selection's state.
struct PathSelectionView {
    std::function<void(bool on)> waitCursor;
    std::function<void(PathList list, int index, const std::string& text)> entryInserted;
    std::function<void(PathList list, int index)> entryRemoved;
    std::function<void(PathList list, int index)> entrySelected;   // -1: no entry selected
    // BtnEnleve and BtnCherche: the search list holds an entry.
    std::function<void(bool remove, bool search)> buttonsEnabled;
};

class PathSelection {
public:
    static constexpr std::string_view kRootText = "Poste";

    // The drives and their folders are listed over `drives`, which must outlive the selection.
    PathSelection(TreeStore& tree, const DriveTable& drives, PathSelectionView view = {});
    PathSelection(const PathSelection&) = delete;
    PathSelection& operator=(const PathSelection&) = delete;
    // The window that mirrors the list from here on; empty: none does.
    void setView(PathSelectionView view) { view_ = std::move(view); }

    // Root "Poste", one node per logical drive in letter order, root expanded (which lists
    // the top level of every drive through the expanded event), first drive selected.
    void fillDriveTree();

    // The tree's notifications; the window binds the store's events to them.
    void nodeExpanded(NodeId node);   // populates every child not yet populated
    void selectionChanged(NodeId node);   // the root never stays selected while it has children

    // BtnAjoute: the selected node moves into the search list, after every entry inside its
    // path has come back to the tree (those returns leave the tree's selection alone).
    void add();
    // BtnEnleve: the selected search entry goes back to the tree, where its node becomes
    // the selection.
    void remove();
    // The selected node's path goes into the exclusion list; the tree keeps the node, so a
    // search path may still be chosen inside it (the exclusion then wins in the walk).
    void exclude();
    // A path (a folder or a file, Windows-style) into the exclusion list, selected; one
    // already there is only selected. A path of 255 characters or more is not taken.
    void excludePath(std::string path);
    // The selected exclusion leaves the list (ExcList's Delete key and menu).
    void removeExclusion();

    // The drive tree's node of a Windows-style path, the tree opened down to it (each node on
    // the way listed as an expansion lists it); none when a part of the path is not in the
    // tree (a search path holds it, or it is no folder the tree lists).
    NodeId openPath(std::string_view windowsPath);

    // Path of a node below the root: its texts and its ancestors' joined, cut to 255
    // characters after each step, without the last character. Never asked for the root.
    std::string nodePath(NodeId node) const;
    // True when the node's whole joined text, trailing backslash included, fits in 255
    // characters, that is when nodePath names the node itself and not a cut-off stem.
    bool pathFits(NodeId node) const;
    // Lists the node's subdirectories as its children, marks it populated, sorts them.
    void populate(NodeId node);

    // The search list, ascending by lstrcmpA.
    const std::vector<SearchEntry>& entries() const { return entries_; }
    int selectedEntry() const { return selected_; }
    void selectEntry(int index);   // -1 or out of range: none
    // Inserts in sorted place and returns the index where the entry landed.
    int insertEntry(std::string text, NodeId home);
    void deleteEntry(int index);

    // The exclusion list, ascending by lstrcmpA like the search list, no entry twice.
    const std::vector<std::string>& exclusions() const { return exclusions_; }
    int selectedExclusion() const { return excSelected_; }
    void selectExclusion(int index);   // -1 or out of range: none

    NodeId root() const { return root_; }
    // Directory enumerations started so far (each populate makes one).
    std::uint64_t listingCount() const { return listings_; }

private:
    // Entry i of the search list back to its home node; selectNode: the returned node
    // becomes the tree's selection (the remove button), else the selection stays.
    void returnEntry(int i, bool selectNode);
    NodeId childWithText(NodeId parent, const std::string& text) const;
    void updateButtons();

    TreeStore& tree_;
    const DriveTable& drives_;
    PathSelectionView view_;
    NodeId root_ = kNoNode;
    std::vector<SearchEntry> entries_;
    int selected_ = -1;
    std::vector<std::string> exclusions_;
    int excSelected_ = -1;
    std::uint64_t listings_ = 0;
};

}  // namespace parelix
