#pragma once
// A scene for duplicate detection: real files in a temporary folder, their DirList nodes,
// and the two work files written directly in the order the comparison is to see, so that
// detection is driven on exactly the sequence a test chooses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/Records.h"
#include "engine/SearchEngine.h"
#include "platform/Drives.h"
#include "platform/Services.h"
#include "platform/Text.h"
#include "platform/WorkFile.h"
#include "results/ResultTrees.h"
#include "support/FakeSearchUi.h"
#include "support/TestSupport.h"

namespace parelix::test {

struct SceneFile {
    SceneFile(std::string r, std::string c, std::optional<std::int32_t> rec = std::nullopt)
        : rel(std::move(r)), content(std::move(c)), recorded(rec) {}
    std::string rel;                       // path under the scene's folder, '/' separated
    std::string content;
    std::optional<std::int32_t> recorded;  // recorded size when it must differ from the content's
    std::int32_t size() const { return recorded ? *recorded : static_cast<std::int32_t>(content.size()); }
};

struct Group {
    std::string text;
    std::vector<std::string> members;
    bool operator==(const Group&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Group& g) {
    os << g.text << " {";
    for (const auto& m : g.members) os << ' ' << m;
    return os << " }";
}

class DuplicateScene {
public:
    TempDir dir;
    ResultTrees trees;
    FakeSearchUi ui;
    PlatformServices services;   // this process's drives; tests may give a read call
    SearchEngine engine{trees, ui, services};
    std::pair<std::int32_t, std::int32_t> listCounts_;   // files and folders build() wrote
    std::string rootWin;
    std::vector<SceneFile> sequence;                 // the file list, in order
    std::vector<std::string> fullPaths;             // Windows-style, per sequence entry
    std::vector<NodeId> fileNodes;                  // per sequence entry

    DuplicateScene() {
        engine.startup();
        rootWin = DriveTable::current().toWindows(dir.path()).value();
    }
    ~DuplicateScene() { engine.shutdown(); }

    std::string posix(const SceneFile& f) const { return dir.path() + "/" + f.rel; }

    // Creates the files and lists them in the given order (the caller sorts by size).
    void build(std::vector<SceneFile> files) {
        sequence = std::move(files);
        for (const auto& f : sequence) dir.write(f.rel, f.content);
        Folders folders(trees.dirList, rootWin);
        writeFileList(folders);
        writeDirList(folders.records);
        listCounts_ = {static_cast<std::int32_t>(sequence.size()), static_cast<std::int32_t>(folders.records.size())};
    }

    // The comparison over the lists build() wrote.
    void findDuplicates() { engine.findDuplicates(listCounts_.first, listCounts_.second); }

    // Sorts by decreasing size, keeping the given order within a size, then builds.
    void buildSorted(std::vector<SceneFile> files) {
        std::stable_sort(files.begin(), files.end(),
                         [](const SceneFile& a, const SceneFile& b) { return a.size() > b.size(); });
        build(std::move(files));
    }

    void remove(const std::string& rel) { ASSERT_EQ(::unlink((dir.path() + "/" + rel).c_str()), 0); }
    // Makes `name` another name of `target`'s file (a hard link); their contents must be equal.
    void relink(const std::string& target, const std::string& name) {
        remove(name);
        ASSERT_EQ(::link((dir.path() + "/" + target).c_str(), (dir.path() + "/" + name).c_str()), 0);
    }

    std::string win(const std::string& rel) const {
        std::string w = rootWin + "\\" + rel;
        std::replace(w.begin() + static_cast<long>(rootWin.size()), w.end(), '/', '\\');
        return w;
    }

    std::vector<Group> groups() const {
        std::vector<Group> out;
        for (NodeId g : trees.dblList.children(kNoNode)) {
            Group group{trees.dblList.text(g), {}};
            // The size kept with the group is the one its caption shows.
            const std::optional<std::uint64_t> bytes = trees.dblList.bytes(g);
            EXPECT_TRUE(bytes && group.text == "(" + std::to_string(*bytes) + ")") << group.text;
            for (NodeId m : trees.dblList.children(g)) group.members.push_back(trees.dblList.text(m));
            out.push_back(std::move(group));
        }
        return out;
    }

    // Log lines after the phase's own first line.
    std::vector<std::string> compareLog() const {
        return std::vector<std::string>(ui.log.begin() + (ui.log.empty() ? 0 : 1), ui.log.end());
    }

    // Links both ways, marked file nodes, and expanded groups of two or more.
    void expectConsistentTrees() const {
        for (NodeId g : trees.dblList.children(kNoNode)) {
            EXPECT_GE(trees.dblList.childCount(g), 2) << trees.dblList.text(g);
            EXPECT_TRUE(trees.dblList.isExpanded(g)) << trees.dblList.text(g);
            for (NodeId m : trees.dblList.children(g)) {
                const NodeId file = trees.dblList.link(m);
                ASSERT_NE(file, kNoNode);
                EXPECT_EQ(trees.dirList.link(file), m);
                EXPECT_EQ(trees.dirList.imageIndex(file), kImgFileMarked);
                EXPECT_EQ(trees.dirList.counter(file), 1);
                EXPECT_EQ(trees.dblList.imageIndex(m), kImgFileMarked);
            }
        }
    }

private:
    // The scene's folders as the walk meets them: a DirList node per folder under the root
    // node, and a directory record per folder in the order the files first name them.
    struct Folders {
        TreeStore& tree;
        std::string rootWin;
        std::map<std::string, NodeId> nodes;
        std::map<std::string, std::uint32_t> indexes;
        std::vector<std::string> records;

        Folders(TreeStore& t, std::string root) : tree(t), rootWin(std::move(root)) {
            nodes[""] = folderNode(kNoNode, rootWin);
        }
        NodeId folderNode(NodeId parent, const std::string& text) {
            const NodeId n = tree.addChild(parent, text);
            tree.setKind(n, NodeKind::Folder);
            tree.setCounter(n, 0);
            return n;
        }
        // The record index of a folder ('/' separated, "" for the root), its nodes made on
        // the first call.
        std::uint32_t index(const std::string& folder) {
            auto it = indexes.find(folder);
            if (it != indexes.end()) return it->second;
            std::string win = rootWin;
            NodeId node = nodes[""];
            std::string sofar;
            std::stringstream parts(folder);
            for (std::string part; std::getline(parts, part, '/');) {
                sofar += (sofar.empty() ? "" : "/") + part;
                win += "\\" + part;
                auto found = nodes.find(sofar);
                if (found == nodes.end()) found = nodes.emplace(sofar, folderNode(node, "--> " + part)).first;
                node = found->second;
            }
            records.push_back(win + "\\");
            return indexes[folder] = static_cast<std::uint32_t>(records.size() - 1);
        }
    };

    // One file-entry record and one DirList file node per sequence entry, in order.
    void writeFileList(Folders& folders) {
        WorkFile list;
        list.assign(engine.fileListName(), services.drives());
        list.rewrite(kFileEntrySize);
        std::uint8_t record[kFileEntrySize] = {};
        for (const auto& f : sequence) {
            const auto slash = f.rel.rfind('/');
            const std::string folder = slash == std::string::npos ? "" : f.rel.substr(0, slash);
            const std::string name = slash == std::string::npos ? f.rel : f.rel.substr(slash + 1);
            const std::uint32_t index = folders.index(folder);
            const NodeId node = trees.dirList.addChild(folders.nodes[folder], name);
            trees.dirList.setKind(node, NodeKind::File);
            trees.dirList.setCounter(node, 0);
            fileNodes.push_back(node);
            fullPaths.push_back(cut255(folders.records[index] + name));
            encodeFileEntry(FileEntry{name, f.size(), index, node}, record);
            list.write(record);
        }
        list.close();
    }

    void writeDirList(const std::vector<std::string>& records) {
        WorkFile dirs;
        dirs.assign(engine.dirListName(), services.drives());
        dirs.rewrite(kDirRecordSize);
        std::uint8_t dirRecord[kDirRecordSize] = {};
        for (const auto& d : records) {
            encodeDirRecord(d, dirRecord);
            dirs.write(dirRecord);
        }
        dirs.close();
    }
};

// Sorts member paths as sort children does.
inline void sortMembers(std::vector<std::string>& members) {
    std::sort(members.begin(), members.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpA(a, b) < 0; });
}

}  // namespace parelix::test
