// The search run as a whole: its steps and outcomes, the stop button's roles, the close
// rule, and the life of the work files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "platform/Drives.h"
#include "platform/WorkFile.h"
#include "support/FakeSearchUi.h"
#include "support/TestSupport.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

class SearchRunTest : public test::SearchEngineTest {
protected:
    void SetUp() override {
        engine_.startup();
        root_ = DriveTable::current().toWindows(tree_.path()).value_or("");
        ASSERT_FALSE(root_.empty());
    }
    void TearDown() override {
        if (engine_.canClose() && fs::exists(work_.path())) engine_.shutdown();
    }

    std::int64_t records(const std::string& name, std::size_t size) {
        WorkFile f;
        f.assign(name, DriveTable::current());
        f.reset(size);
        const std::int64_t n = f.fileSize();
        f.close();
        return n;
    }
    std::vector<std::string> workFolder() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work_.path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    bool logHas(const std::string& line) { return std::count(ui_.log.begin(), ui_.log.end(), line) > 0; }

    std::string root_;
};

TEST_F(SearchRunTest, StartupCreatesTwoEmptyWorkFilesAndShutdownRemovesThem) {
    const std::string temp = engine_.tempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(DriveTable::current().toPosix(temp).value_or(""), work_.path());
    const std::string list = engine_.fileListName();
    const std::string dirs = engine_.dirListName();
    EXPECT_NE(list, dirs);
    for (const std::string& name : {list, dirs}) {
        EXPECT_EQ(name.substr(0, temp.size() + 3), temp + "DBL");
        EXPECT_EQ(records(name, 1), 0);
    }
    EXPECT_EQ(workFolder().size(), 2u);

    tree_.write("a", "same");
    tree_.write("b", "same");
    engine_.searchRun({root_});
    engine_.searchRun({root_});
    EXPECT_EQ(workFolder().size(), 2u);   // the sort leaves no run file
    engine_.shutdown();
    EXPECT_TRUE(workFolder().empty());
}

// A file list already gone (a sort that failed after deleting it) is reported, and the
// directory list is deleted all the same.
TEST_F(SearchRunTest, ShutdownDeletesTheDirectoryListEvenWhenTheFileListIsGone) {
    ASSERT_TRUE(fs::remove(DriveTable::current().toPosix(engine_.fileListName()).value_or("")));
    try {
        engine_.shutdown();
        FAIL() << "no input/output error";
    } catch (const InOutError& e) {
        EXPECT_STREQ(e.what(), "Fichier introuvable");
    }
    EXPECT_TRUE(workFolder().empty());
}

TEST_F(SearchRunTest, RunWithoutFilesSaysSoAndSelectsNothing) {
    tree_.mkdir("hollow");
    engine_.searchRun({root_});
    EXPECT_TRUE(ui_.started);
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", "0 fichiers dans 2 répertoires",
                                                 "Aucun fichier à traiter !"}));
    EXPECT_EQ(ui_.phases, (std::vector<std::string>{"+Collection", "-Collection 0"}));
    EXPECT_FALSE(ui_.resultsShown);
    EXPECT_EQ(trees_.dirList.selected(), kNoNode);
    EXPECT_TRUE(ui_.ended);
    EXPECT_TRUE(engine_.canClose());
}

TEST_F(SearchRunTest, RunWithOneFileFinishesWithoutSorting) {
    tree_.write("sub/one", "1");
    engine_.searchRun({root_});
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", "1 fichiers dans 2 répertoires",
                                                 "Fini !"}));
    EXPECT_EQ(ui_.phases, (std::vector<std::string>{"+Collection", "-Collection 1"}));
    EXPECT_TRUE(ui_.resultsShown);
    EXPECT_EQ(trees_.dirList.selected(), trees_.dirList.firstRoot());
    EXPECT_TRUE(ui_.ended);
    EXPECT_TRUE(trees_.dblList.empty());
}

TEST_F(SearchRunTest, TwoEqualFilesAreSortedComparedAndGrouped) {
    tree_.write("a", "same content");
    tree_.write("sub/b", "same content");
    tree_.write("c", "other");
    engine_.searchRun({root_});
    EXPECT_TRUE(logHas("Tri des fichiers par taille"));
    EXPECT_EQ(ui_.log.back(), "Fini !");
    ASSERT_EQ(trees_.dblList.childCount(kNoNode), 1);
    EXPECT_EQ(trees_.dblList.childCount(trees_.dblList.firstRoot()), 2);
    EXPECT_EQ(records(engine_.fileListName(), kFileEntrySize), 3);
    EXPECT_TRUE(engine_.canClose());
}

TEST_F(SearchRunTest, SecondRunStartsAfreshAndOverwritesTheWorkFiles) {
    tree_.write("x/1", "a");
    tree_.write("x/2", "bb");
    tree_.write("x/3", "ccc");
    test::TempDir other;
    other.write("lone", "l");
    const std::string otherRoot = DriveTable::current().toWindows(other.path()).value_or("");

    engine_.searchRun({root_});
    EXPECT_EQ(records(engine_.fileListName(), kFileEntrySize), 3);
    EXPECT_EQ(records(engine_.dirListName(), kDirRecordSize), 2);

    // The second run's first turn already sees empty trees and an empty log.
    bool checked = false;
    ui_.onEventTurn = [&] {
        if (checked) return;
        checked = true;
        EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations"}));
        EXPECT_TRUE(trees_.dirList.empty());
        EXPECT_TRUE(trees_.dblList.empty());
    };
    engine_.searchRun({otherRoot});
    EXPECT_TRUE(checked);
    EXPECT_EQ(trees_.dirList.childCount(kNoNode), 1);
    EXPECT_EQ(trees_.dirList.text(trees_.dirList.firstRoot()), otherRoot);
    EXPECT_EQ(records(engine_.fileListName(), kFileEntrySize), 1);
    EXPECT_EQ(records(engine_.dirListName(), kDirRecordSize), 1);
}

TEST(RunStateTest, StopRolesFollowTheFlagsAndSoDoesClosing) {
    RunState state;
    EXPECT_TRUE(state.canClose());
    EXPECT_EQ(state.stop(), RunState::StopRole::Idle);

    state.beginCollection();
    state.beginComparison();
    EXPECT_FALSE(state.canClose());
    EXPECT_EQ(state.stop(), RunState::StopRole::StoppedCollection);
    EXPECT_FALSE(state.collecting());
    EXPECT_TRUE(state.comparing());
    EXPECT_FALSE(state.canClose());
    EXPECT_EQ(state.stop(), RunState::StopRole::StoppedComparison);
    EXPECT_FALSE(state.comparing());
    EXPECT_TRUE(state.canClose());
    EXPECT_EQ(state.stop(), RunState::StopRole::Idle);
}

// Neither phase flag is set during the sort's log line; the run itself is under way from its
// first line until its last.
TEST_F(SearchRunTest, DuringTheSortsLogLineNoFlagIsSet) {
    for (std::size_t k = 0; k < 4; ++k) tree_.write("f" + std::to_string(k), std::string(k % 2 + 1, 'q'));
    bool collectingSeen = false;
    bool sortLineSeen = false;
    std::vector<std::string> runningAt;
    ui_.onEventTurn = [&] {
        if (ui_.log.empty()) return;
        if (engine_.running() && (runningAt.empty() || runningAt.back() != ui_.log.back()))
            runningAt.push_back(ui_.log.back());
        if (ui_.log.back() == "Collecte des informations") {
            collectingSeen = true;
            EXPECT_FALSE(engine_.canClose());
        } else if (ui_.log.back() == "Tri des fichiers par taille" && !sortLineSeen) {
            sortLineSeen = true;
            EXPECT_TRUE(engine_.canClose());
            EXPECT_EQ(engine_.stop(), SearchEngine::StopRole::Idle);
        }
    };
    engine_.searchRun({root_});
    EXPECT_TRUE(collectingSeen);
    EXPECT_TRUE(sortLineSeen);
    EXPECT_EQ(ui_.log.back(), "Fini !");
    EXPECT_EQ(runningAt, (std::vector<std::string>{"Collecte des informations", "4 fichiers dans 1 répertoires",
                                                  "Tri des fichiers par taille",
                                                  "Comparaison des fichiers présumés doubles"}));
    EXPECT_FALSE(engine_.running());

    // A run without files ends its state before its only verdict, too.
    test::TempDir empty;
    bool runningAtVerdict = true;
    ui_.onEventTurn = [&] {
        if (!ui_.log.empty() && ui_.log.back() == "Aucun fichier à traiter !") runningAtVerdict = engine_.running();
    };
    engine_.searchRun({DriveTable::current().toWindows(empty.path()).value_or("")});
    EXPECT_FALSE(runningAtVerdict);
}

TEST_F(SearchRunTest, StopDuringCollectionStillSortsWhatWasGathered) {
    tree_.write("a1", "same");
    tree_.write("a2", "same");
    tree_.write("later/b", "same");
    ui_.onEventTurn = [&] {
        if (ui_.folder == root_ && engine_.collecting()) engine_.stop();
    };
    engine_.searchRun({root_});
    EXPECT_EQ(engine_.dirCount(), 1);
    EXPECT_EQ(engine_.fileCount(), 2);
    EXPECT_TRUE(logHas("2 fichiers dans 1 répertoires"));
    EXPECT_TRUE(logHas("Tri des fichiers par taille"));
    EXPECT_EQ(ui_.log.back(), "Fini !");
    EXPECT_EQ(ui_.phases, (std::vector<std::string>{"+Collection", "-Collection 2", "+Sort", "-Sort 2",
                                                    "+Comparison", "-Comparison 2"}));
    EXPECT_TRUE(ui_.ended);
}

TEST_F(SearchRunTest, WorkFileErrorLeavesTheRunWithItsFlagSet) {
    tree_.write("a", "1");
    fs::remove_all(work_.path());   // the work files can no longer be created
    try {
        engine_.searchRun({root_});
        FAIL() << "no input/output error";
    } catch (const InOutError& e) {
        EXPECT_EQ(e.code(), 2);
        EXPECT_STREQ(e.what(), "Fichier introuvable");
    }
    EXPECT_TRUE(engine_.collecting());
    EXPECT_FALSE(engine_.running());
    EXPECT_FALSE(engine_.canClose());
    EXPECT_EQ(ui_.currentPhase(), "Collection");
    EXPECT_FALSE(ui_.ended);
    EXPECT_EQ(engine_.stop(), SearchEngine::StopRole::StoppedCollection);
    EXPECT_TRUE(engine_.canClose());
    // Both work files went with their folder: shutting down reports it.
    EXPECT_THROW(engine_.shutdown(), InOutError);
}

}  // namespace
}  // namespace parelix
