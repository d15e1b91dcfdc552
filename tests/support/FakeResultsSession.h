#pragma once
// A session stand-in for the browsing and deletion tests (it records what a window would
// show), a fixture that wires browsing to the result trees over it, a small builder of
// result trees, and a walk of a tree in display order.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Drives.h"
#include "results/Browsing.h"

namespace parelix::test {

// The shell as a stand-in: drive types by letter, file operations and opens recorded and
// answered as the test says, message boxes recorded. Nothing touches the disk.
class FakeShellServices : public PlatformServices {
public:
    struct Message {
        std::string text, caption;
        MessageKind kind;
    };
    struct Execute {
        std::string file, directory;
        int show;
    };

    std::map<char, unsigned> driveTypes;     // by letter; DRIVE_FIXED otherwise
    std::vector<SHFILEOPSTRUCTA> operations;
    // Answers the shell's file operation; by default it succeeds.
    std::function<int(SHFILEOPSTRUCTA&)> onFileOperation;
    std::vector<Execute> executes;
    int executeResult = 42;
    std::vector<Message> messages;
    std::vector<std::string> walkQuestions;
    bool walkAnswer = true;

    unsigned driveType(std::string_view root) const override {
        auto it = driveTypes.find(root.empty() ? '?' : root[0]);
        return it == driveTypes.end() ? DRIVE_FIXED : it->second;
    }
    // The shell's answer first (its question included), then the caller's last check, as
    // the platform's shell makes them.
    int fileOperation(SHFILEOPSTRUCTA& op) override {
        int result = onFileOperation ? onFileOperation(op) : 0;
        if (result == 0 && !op.fAnyOperationsAborted && op.lastCheck && !op.lastCheck()) {
            op.fAnyOperationsAborted = true;
            result = kShellCancelled;
        }
        operations.push_back(op);
        return result;
    }
    int shellExecute(const std::string& file, const std::string& directory, int show) override {
        executes.push_back({file, directory, show});
        return executeResult;
    }
    void showMessage(const std::string& text, const std::string& caption, MessageKind kind) override {
        messages.push_back({text, caption, kind});
    }
    bool confirmWalk(const std::string& question) override {
        walkQuestions.push_back(question);
        return walkAnswer;
    }
};

// A session stand-in with the shell stand-in beside it (its records reachable by the same
// names through it, as the tests read them).
class FakeResultsSession : public ResultsSession {
public:
    using Message = FakeShellServices::Message;

    FakeShellServices services;
    TreeId focus = TreeId::None;
    std::map<TreeId, bool> hidden;
    std::string status;
    std::vector<std::string> statuses;       // every status text, in order
    std::vector<std::string> log;
    std::vector<std::string> holds;          // "wait on", "lock on", ... in call order
    bool active = false;
    std::map<char, unsigned>& driveTypes = services.driveTypes;
    std::vector<SHFILEOPSTRUCTA>& operations = services.operations;
    std::function<int(SHFILEOPSTRUCTA&)>& onFileOperation = services.onFileOperation;
    std::vector<FakeShellServices::Execute>& executes = services.executes;
    int& executeResult = services.executeResult;
    std::vector<Message>& messages = services.messages;
    struct CopyQuery {
        std::string file;
        std::vector<std::string> others;
    };
    std::vector<CopyQuery> copyQueries;
    // Answers the check for another copy on disk; by default one is found.
    std::function<OtherCopy(const std::string& file, const std::vector<std::string>& others)> onFindOtherCopy;

    TreeId focusedTree() const override { return focus; }
    void setHideSelection(TreeId tree, bool hide) override { hidden[tree] = hide; }
    void setStatusText(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }
    std::string statusText() const override { return status; }
    void appendLog(const std::string& line) override { log.push_back(line); }
    void setWaitCursor(bool on) override { holds.push_back(on ? "wait on" : "wait off"); }
    void lockWindowUpdate(bool on) override { holds.push_back(on ? "lock on" : "lock off"); }
    Activity activity() const override {
        Activity now;
        now.searchBuildsTrees = active;
        now.deleting = deleting();
        return now;
    }
    // Records every candidate, in the order the check would try them.
    OtherCopy findOtherCopy(const std::string& file, const CopyCandidates& candidates) override {
        std::vector<std::string> others;
        for (std::string path; candidates(path);) others.push_back(path);
        copyQueries.push_back({file, others});
        return onFindOtherCopy ? onFindOtherCopy(file, others) : OtherCopy::Found;
    }
};

// The two result trees with browsing following their selections, as the window wires them,
// over a window stand-in.
template <typename Window = FakeResultsSession>
class BrowsedTreesTest : public ::testing::Test {
protected:
    BrowsedTreesTest() {
        trees.dirList.events.change = [this](NodeId n) { browsing.dirListChange(n); };
        trees.dblList.events.change = [this](NodeId n) { browsing.dblListChange(n); };
    }

    ResultTrees trees;
    Window window;
    Browsing browsing{trees, window, window.services};
};

// Builds DirList as the collection walk leaves it (walked folders 0/2 with counter 0, files
// 4/4 with counter 0), and groups as duplicate detection does.
class TreeBuilder {
public:
    explicit TreeBuilder(ResultTrees& trees) : trees_(trees) {}

    NodeId root(const std::string& text) { return folderNode(kNoNode, text); }
    NodeId folder(NodeId parent, const std::string& name) { return folderNode(parent, "--> " + name); }
    NodeId file(NodeId parent, const std::string& name) {
        const NodeId n = trees_.dirList.addChild(parent, name);
        trees_.dirList.setKind(n, NodeKind::File);
        trees_.dirList.setCounter(n, 0);
        return n;
    }
    // A group of the given files, members in the order given.
    NodeId group(const std::string& size, const std::vector<NodeId>& files) {
        const NodeId g = trees_.addGroup(std::stoull(size));
        for (NodeId f : files) trees_.addDuplicate(g, trees_.nodePath(f), f);
        trees_.dblList.expand(g);
        return g;
    }

private:
    NodeId folderNode(NodeId parent, const std::string& text) {
        const NodeId n = trees_.dirList.addChild(parent, text);
        trees_.dirList.setKind(n, NodeKind::Folder);
        trees_.dirList.setCounter(n, 0);
        return n;
    }
    ResultTrees& trees_;
};

// Every node of a tree in display order: parents before their children, siblings in order.
inline std::vector<NodeId> preorder(const TreeStore& tree) {
    std::vector<NodeId> order;
    std::vector<NodeId> pending(tree.children(kNoNode).rbegin(), tree.children(kNoNode).rend());
    while (!pending.empty()) {
        const NodeId n = pending.back();
        pending.pop_back();
        order.push_back(n);
        const auto& kids = tree.children(n);
        pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    return order;
}

}  // namespace parelix::test
