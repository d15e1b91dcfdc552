// The tree walk through a session on real files, into a private recycle bin: a big group
// cleaned to its last copy, the trees then as a fresh search finds the disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "results/SpaceFigures.h"
#include "session/Session.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

constexpr int kCopies = 2000;

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

// One group of 2,000 copies: every copy but the first goes, one act, the window given its turns
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

// A backup beside the originals, with empty marker files: the question names the folder
// and what stays, and the empty files stay where they are.
class BackupWalk : public test::SessionFixture {
protected:
    BackupWalk()
        : SessionFixture({{"notes.txt", "mes notes"},
                          {".keep", ""},
                          {"Backups/notes.txt", "mes notes"},
                          {"Backups/.keep", ""},
                          {"Backups/vide.tmp", ""}}) {}
};

TEST_F(BackupWalk, TheQuestionNamesTheFolderAndEmptyFilesStay) {
    session_.search({root_});
    NodeId backups = kNoNode;
    for (NodeId n : session_.trees().dirList.children(session_.trees().dirList.firstRoot()))
        if (session_.trees().name(n) == "Backups") backups = n;
    ASSERT_NE(backups, kNoNode);
    session_.viewStores().results.dirList.select(backups);
    session_.deleteDuplicatesOfTree();
    EXPECT_EQ(services_.questions,
              (std::vector<std::string>{"Envoyer 1 fichier (" + readableSize(9) + ") de «\u00A0Backups\u00A0» dans la "
                                        "Corbeille\u00A0?\nUne copie de chaque fichier est conservée.\n"
                                        "Les fichiers vides sont conservés."}));
    EXPECT_FALSE(fs::exists(tree_.path() + "/Backups/notes.txt"));
    EXPECT_TRUE(fs::exists(tree_.path() + "/Backups/.keep"));
    EXPECT_TRUE(fs::exists(tree_.path() + "/Backups/vide.tmp"));
    EXPECT_TRUE(fs::exists(tree_.path() + "/notes.txt") && fs::exists(tree_.path() + "/.keep"));
    // The empty files are still duplicates of each other: the folder walk sends them as before.
    EXPECT_EQ(session_.trees().dblList.childCount(kNoNode), 1);
    session_.deleteDuplicatesOfDirectory();
    EXPECT_FALSE(fs::exists(tree_.path() + "/Backups/.keep") || fs::exists(tree_.path() + "/Backups/vide.tmp"));
    EXPECT_TRUE(fs::exists(tree_.path() + "/.keep"));
}

}  // namespace
}  // namespace parelix
