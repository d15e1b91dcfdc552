#include "session/PathSelection.h"

#include <algorithm>

#include "platform/DirEnum.h"
#include "platform/Drives.h"
#include "platform/Text.h"

namespace parelix {

namespace {

// Wait cursor for the length of a scope, switched off again when the scope ends by an
// exception too.
class WaitCursor {
public:
    explicit WaitCursor(const std::function<void(bool)>& set) : set_(set) {
        if (set_) set_(true);
    }
    ~WaitCursor() {
        if (set_) set_(false);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    const std::function<void(bool)>& set_;
};

// Where a new entry lands in a list kept ascending: after the last entry that does not sort
// above it, as the list control's own sorted insertion does.
template <typename Entry, typename TextOf>
int sortedPlace(const std::vector<Entry>& list, const std::string& text, TextOf textOf) {
    std::size_t at = 0;
    while (at < list.size() && lstrcmpA(textOf(list[at]), text) <= 0) ++at;
    return static_cast<int>(at);
}

}  // namespace

PathSelection::PathSelection(TreeStore& tree, const DriveTable& drives, PathSelectionView view)
    : tree_(tree), drives_(drives), view_(std::move(view)) {}

void PathSelection::fillDriveTree() {
    std::uint32_t mask = GetLogicalDrives(drives_);
    root_ = tree_.addChild(kNoNode, std::string(kRootText));
    // Each letter stays tied to its bit, so absent drives leave no node and no gap.
    for (char letter = 'A'; mask != 0 && letter <= 'Z'; mask >>= 1, ++letter) {
        if (mask & 1u) tree_.addChild(root_, std::string{letter, ':', '\\'});
    }
    tree_.expand(root_);
    const NodeId first = tree_.firstChild(root_);
    if (first != kNoNode) tree_.select(first);
}

std::string PathSelection::nodePath(NodeId node) const {
    std::vector<NodeId> chain;
    for (NodeId n = node; n != kNoNode && tree_.parent(n) != kNoNode; n = tree_.parent(n)) chain.push_back(n);
    std::string path;
    path.reserve(kShortStringMax + 1);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path.append(tree_.text(*it));
        if (path.size() > kShortStringMax) path.resize(kShortStringMax);
    }
    if (!path.empty()) path.pop_back();
    return path;
}

bool PathSelection::pathFits(NodeId node) const {
    std::size_t length = 0;
    for (NodeId n = node; n != kNoNode && tree_.parent(n) != kNoNode; n = tree_.parent(n)) {
        length += tree_.text(n).size();
        if (length > kShortStringMax) return false;
    }
    return true;
}

void PathSelection::populate(NodeId node) {
    // A node whose path had to be cut would list some other folder (the cut-off stem);
    // it gets no children, like a folder that cannot be listed.
    if (pathFits(node)) {
        ++listings_;
        DirEnumerator dir(drives_);
        FindData found;
        if (dir.findFirst(nodePath(node) + "\\*.*", faAnyFile, found)) {
            do {
                if (found.name == "." || found.name == "..") continue;
                if (!(found.attributes & faDirectory)) continue;
                tree_.addChild(node, found.name + '\\');
            } while (dir.findNext(found));
        }
        dir.findClose();
    }
    tree_.setPopulated(node, true);
    tree_.sortChildren(node);
}

NodeId PathSelection::childWithText(NodeId parent, const std::string& text) const {
    for (NodeId c : tree_.children(parent))
        if (tree_.text(c) == text) return c;
    return kNoNode;
}

NodeId PathSelection::openPath(std::string_view windowsPath) {
    if (root_ == kNoNode || windowsPath.size() < 2 || windowsPath[1] != ':') return kNoNode;
    NodeId node = childWithText(root_, std::string(windowsPath.substr(0, 2)) + '\\');
    std::size_t at = 2;
    while (node != kNoNode && at < windowsPath.size()) {
        if (windowsPath[at] == '\\') {
            ++at;
            continue;
        }
        const std::size_t end = std::min(windowsPath.find('\\', at), windowsPath.size());
        if (!tree_.populated(node)) populate(node);
        tree_.expand(node);   // lists the children one level ahead, as a click would
        node = childWithText(node, std::string(windowsPath.substr(at, end - at)) + '\\');
        at = end;
    }
    return node;
}

void PathSelection::nodeExpanded(NodeId node) {
    WaitCursor wait(view_.waitCursor);
    // The count is taken once: populating adds grandchildren, never children.
    const int count = tree_.childCount(node);
    for (int i = 0; i < count; ++i) {
        const NodeId c = tree_.child(node, i);
        if (!tree_.populated(c)) populate(c);
    }
}

void PathSelection::selectionChanged(NodeId node) {
    if (node == root_ && root_ != kNoNode && tree_.childCount(root_) > 0) tree_.select(tree_.firstChild(root_));
}

void PathSelection::add() {
    const NodeId s = tree_.selected();
    if (s == kNoNode || tree_.parent(s) == kNoNode) return;
    // A cut path would name another folder (or an ancestor) than the one chosen, and its
    // return would bring back a node of the wrong name; such a node is not added.
    if (!pathFits(s)) return;
    const std::string p = nodePath(s);

    // Everything inside the new path (by plain text prefix) goes back to the tree first,
    // so that no home node disappears with the subtree removed below. Walking down keeps
    // the indices still to visit valid.
    for (int i = static_cast<int>(entries_.size()) - 1; i >= 0; --i) {
        if (entries_[static_cast<std::size_t>(i)].text.starts_with(p)) {
            selectEntry(i);
            returnEntry(i, false);
        }
    }

    const int index = insertEntry(p, tree_.parent(s));
    selectEntry(index);
    tree_.remove(s);   // the tree picks the new selection; selectionChanged then applies
    updateButtons();
}

void PathSelection::remove() { returnEntry(selected_, true); }

void PathSelection::returnEntry(int i, bool selectNode) {
    if (i < 0 || i >= static_cast<int>(entries_.size())) return;
    const SearchEntry entry = entries_[static_cast<std::size_t>(i)];

    // An entry put in by its text alone has no place in the tree: it only leaves the list.
    if (entry.home != kNoNode) {
        const std::size_t slash = entry.text.rfind('\\');
        std::string name = slash == std::string::npos ? entry.text : entry.text.substr(slash + 1);
        name += '\\';
        const NodeId node = tree_.addChild(entry.home, std::move(name));
        // A returned node is listed afresh, whatever the tree showed before it was added.
        populate(node);
        tree_.sortChildren(entry.home);
        if (selectNode) tree_.select(node);
    }

    deleteEntry(i);
    const int size = static_cast<int>(entries_.size());
    if (size > 0) selectEntry(i < size ? i : size - 1);
    updateButtons();
}

void PathSelection::exclude() {
    const NodeId s = tree_.selected();
    if (s == kNoNode || tree_.parent(s) == kNoNode || !pathFits(s)) return;
    excludePath(nodePath(s));
}

void PathSelection::excludePath(std::string p) {
    if (p.empty() || p.size() > kShortStringMax - 1) return;
    const auto same = std::find(exclusions_.begin(), exclusions_.end(), p);
    if (same != exclusions_.end()) {
        selectExclusion(static_cast<int>(same - exclusions_.begin()));
        return;
    }
    const int index = sortedPlace(exclusions_, p, [](const std::string& t) -> const std::string& { return t; });
    exclusions_.insert(exclusions_.begin() + index, std::move(p));
    if (excSelected_ >= index) ++excSelected_;
    if (view_.entryInserted) view_.entryInserted(PathList::Exclusions, index, exclusions_[static_cast<std::size_t>(index)]);
    selectExclusion(index);
    updateButtons();
}

void PathSelection::removeExclusion() {
    const int i = excSelected_;
    if (i < 0 || i >= static_cast<int>(exclusions_.size())) return;
    exclusions_.erase(exclusions_.begin() + i);
    excSelected_ = -1;
    if (view_.entryRemoved) view_.entryRemoved(PathList::Exclusions, i);
    // As in the search list: the entry that moved into its place, else the new last one.
    const int size = static_cast<int>(exclusions_.size());
    if (size > 0) selectExclusion(i < size ? i : size - 1);
    else if (view_.entrySelected) view_.entrySelected(PathList::Exclusions, -1);
    updateButtons();
}

void PathSelection::updateButtons() {
    if (view_.buttonsEnabled) view_.buttonsEnabled(!entries_.empty(), !entries_.empty());
}

void PathSelection::selectEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) index = -1;
    if (index == selected_) return;
    selected_ = index;
    if (view_.entrySelected) view_.entrySelected(PathList::Search, index);
}

void PathSelection::selectExclusion(int index) {
    if (index < 0 || index >= static_cast<int>(exclusions_.size())) index = -1;
    if (index == excSelected_) return;
    excSelected_ = index;
    if (view_.entrySelected) view_.entrySelected(PathList::Exclusions, index);
}

int PathSelection::insertEntry(std::string text, NodeId home) {
    const int index = sortedPlace(entries_, text, [](const SearchEntry& e) -> const std::string& { return e.text; });
    entries_.insert(entries_.begin() + index, SearchEntry{std::move(text), home});
    if (selected_ >= index) ++selected_;
    if (view_.entryInserted) view_.entryInserted(PathList::Search, index, entries_[static_cast<std::size_t>(index)].text);
    return index;
}

void PathSelection::deleteEntry(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    entries_.erase(entries_.begin() + index);
    if (selected_ == index) selected_ = -1;
    else if (selected_ > index) --selected_;
    if (view_.entryRemoved) view_.entryRemoved(PathList::Search, index);
}

}  // namespace parelix
