#pragma once
// The collection walk's tests over real folder trees: a search engine over a temporary
// tree, the walk's records read back, and a folder listed as a plain walk lists it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/ListingsAhead.h"
#include "engine/SearchEngine.h"
#include "platform/DirEnum.h"
#include "platform/Drives.h"
#include "platform/Text.h"
#include "platform/WorkFile.h"
#include "support/DiskSnapshot.h"
#include "support/FakeSearchUi.h"
#include "support/TestSupport.h"


namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // the home trash, where the drive table finds it at first use

template <typename Decode>
auto readRecords(const std::string& name, std::size_t recordSize, Decode decode) {
    WorkFile f;
    f.assign(name, DriveTable::current());
    f.reset(recordSize);
    std::vector<decltype(decode(nullptr))> out;
    std::vector<std::uint8_t> record(recordSize);
    while (f.blockRead(record.data(), 1) == 1) out.push_back(decode(record.data()));
    f.close();
    return out;
}

class CollectTest : public test::SearchEngineTest {
protected:
    void SetUp() override {
        engine_.startup();
        root_ = winPath(tree_.path());
    }
    void TearDown() override {
        engine_.shutdown();
    }

    static std::string winPath(const std::string& posix) {
        const auto w = DriveTable::current().toWindows(posix);
        EXPECT_TRUE(w.has_value()) << posix;
        return w.value_or("");
    }

    std::vector<FileEntry> files() {
        return readRecords(engine_.fileListName(), kFileEntrySize,
                           [](const std::uint8_t* r) { return decodeFileEntry(r); });
    }
    std::vector<std::string> dirs() {
        return readRecords(engine_.dirListName(), kDirRecordSize,
                           [](const std::uint8_t* r) { return decodeDirRecord(r); });
    }

    std::vector<std::string> childTexts(NodeId node) {
        std::vector<std::string> out;
        for (NodeId c : tree().children(node)) out.push_back(tree().text(c));
        return out;
    }
    NodeId childByText(NodeId node, const std::string& text) {
        for (NodeId c : tree().children(node))
            if (tree().text(c) == text) return c;
        ADD_FAILURE() << "no child " << text;
        return kNoNode;
    }
    void expectWalkedFolder(NodeId node) {
        EXPECT_EQ(tree().imageIndex(node), 0);
        EXPECT_EQ(tree().selectedIndex(node), 2);
        EXPECT_EQ(tree().counter(node), 0);
    }
    void expectUnwalkedFolder(NodeId node) {
        EXPECT_EQ(tree().imageIndex(node), 0);
        EXPECT_EQ(tree().selectedIndex(node), 0);
        EXPECT_EQ(tree().counter(node), -1);
        EXPECT_EQ(tree().childCount(node), 0);
    }
    // Every file record points at its own node, under the folder its directory index names.
    void expectRecordsMatchNodes() {
        const std::vector<std::string> d = dirs();
        for (const FileEntry& f : files()) {
            ASSERT_LT(f.dirIndex, d.size());
            ASSERT_TRUE(tree().isValid(f.node));
            EXPECT_EQ(tree().text(f.node), f.name);
            EXPECT_EQ(tree().imageIndex(f.node), 4);
            EXPECT_EQ(tree().selectedIndex(f.node), 4);
            EXPECT_EQ(tree().counter(f.node), 0);
            const std::string full = d[f.dirIndex] + f.name;
            const auto posix = DriveTable::current().toPosix(full);
            ASSERT_TRUE(posix.has_value()) << full;
            EXPECT_EQ(static_cast<std::int32_t>(fs::file_size(*posix)), f.size) << full;
        }
    }

    // Appends the files under a folder in the system's listing order, a subfolder's files
    // where the subfolder is listed.
    static void appendFilesAsListed(const std::string& dir, std::vector<std::string>& out) {
        DirEnumerator e(DriveTable::current());
        FindData fd;
        for (bool more = e.findFirst(dir + "\\*.*", faAnyFile, fd); more; more = e.findNext(fd)) {
            if (fd.name == "." || fd.name == "..") continue;
            if (fd.attributes & faDirectory) appendFilesAsListed(dir + "\\" + fd.name, out);
            else out.push_back(dir + "\\" + fd.name);
        }
        e.findClose();
    }

    TreeStore& tree() { return trees_.dirList; }

    std::string root_;
};

}  // namespace
}  // namespace parelix
