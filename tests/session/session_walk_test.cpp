// The tree walk through a session on real files, into a private recycle bin: a big group
// cleaned to its last copy, the trees then as a fresh search finds the disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "session/Session.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

constexpr int kCopies = 3000;

std::vector<std::pair<std::string, std::string>> bigGroup() {
    std::vector<std::pair<std::string, std::string>> files{{"autre.txt", "un autre contenu"}};
    for (int i = 0; i < kCopies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "copies/c%04d.txt", i);
        files.push_back({name, "la même copie"});
    }
    return files;
}

// Every node of both trees as text: its depth, text, pictures and counter, in tree order.
std::string dump(const TreeStore& tree) {
    std::string text;
    std::vector<std::pair<NodeId, int>> todo;
    for (auto it = tree.children(kNoNode).rbegin(); it != tree.children(kNoNode).rend(); ++it) todo.push_back({*it, 0});
    while (!todo.empty()) {
        const auto [n, depth] = todo.back();
        todo.pop_back();
        text += std::string(static_cast<std::size_t>(depth), ' ') + tree.text(n) + " " +
                std::to_string(tree.imageIndex(n)) + " " + std::to_string(tree.counter(n)) + "\n";
        for (auto it = tree.children(n).rbegin(); it != tree.children(n).rend(); ++it) todo.push_back({*it, depth + 1});
    }
    return text;
}

class TreeWalk : public test::SessionFixture {
protected:
    TreeWalk() : SessionFixture(bigGroup()) {}
    std::size_t inTrash() const {
        std::size_t n = 0;
        if (!fs::exists(trash.files())) return 0;
        for (const auto& e : fs::directory_iterator(trash.files())) n += e.is_regular_file();
        return n;
    }
};

// One group of 3,000 copies: every copy but the first goes, one act, the window given its turns
// throughout (each check turns the event loop), and the trees end as a new search shows the disk.
TEST_F(TreeWalk, ABigGroupIsCleanedToItsFirstCopy) {
    session_.search({root_});
    ASSERT_EQ(session_.trees().dblList.childCount(kNoNode), 1);
    ASSERT_EQ(session_.trees().dblList.childCount(session_.trees().dblList.firstRoot()), kCopies);
    const std::size_t before = inTrash();
    int turns = 0;
    view_.onEventTurn = [&] { ++turns; };
    session_.viewStores().results.dirList.select(session_.trees().dirList.firstRoot());
    session_.deleteDuplicatesOfTree();
    view_.onEventTurn = nullptr;

    EXPECT_EQ(services_.questions.size(), 1u);
    EXPECT_EQ(inTrash() - before, static_cast<std::size_t>(kCopies - 1));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tree_.path() + "/copies")) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, (std::vector<std::string>{"c0000.txt"}));
    EXPECT_GE(turns, kCopies - 1);
    EXPECT_TRUE(services_.errors().empty());

    const std::string dirAfter = dump(session_.trees().dirList);
    const std::string dblAfter = dump(session_.trees().dblList);
    session_.search({root_});
    EXPECT_EQ(dirAfter, dump(session_.trees().dirList));
    EXPECT_EQ(dblAfter, dump(session_.trees().dblList));
}

}  // namespace
}  // namespace parelix
