// What may act while a search run or a deletion goes on, asked of a session without a window.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/WorkFile.h"
#include "session/Session.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

class SessionActs : public test::SessionFixture {
protected:
    SessionActs() : SessionFixture({{"a/one.txt", "same content"}, {"b/two.txt", "same content"}}) {}

    // The answers as a line, e.g. "search stop browse delete close".
    std::string allowed() {
        std::string text;
        const std::pair<Act, const char*> acts[] = {{Act::StartSearch, "search"}, {Act::StopSearch, "stop"},
                                                    {Act::Browse, "browse"},      {Act::Delete, "delete"},
                                                    {Act::Close, "close"},        {Act::EndNow, "end"}};
        for (const auto& [act, name] : acts)
            if (session_.mayAct(act)) text += text.empty() ? name : std::string(" ") + name;
        return text;
    }
};

// Through each phase a second run, a deletion, a close and an end at once wait; browsing and
// Stop go on. Stop in a phase ends that phase only, and only once no phase runs does it send
// the window back to the selection.
TEST_F(SessionActs, ARunLetsBrowsingAndStopThroughAndHoldsTheRest) {
    std::string inCollection, inSort, inComparison;
    bool stoppedComparison = false;
    view_.onEventTurn = [&] {
        const SearchEngine& engine = session_.engine();
        if (engine.collecting() && inCollection.empty() && !session_.trees().dirList.empty()) {
            inCollection = allowed();
            EXPECT_FALSE(session_.closeQuery());
            // Every way to the trash does nothing: the trees hold nodes the run still names.
            session_.viewStores().results.dirList.select(session_.trees().dirList.firstRoot());
            view_.focus = TreeId::DirList;
            session_.trashClick();
            session_.dropOnTrash(TreeId::DirList);
            session_.deleteDuplicatesOfDirectory();
        } else if (!engine.collecting() && !engine.comparing() && engine.running() && inSort.empty()) {
            inSort = allowed();
        } else if (engine.comparing() && inComparison.empty()) {
            inComparison = allowed();
            EXPECT_FALSE(session_.closeQuery());
            stoppedComparison = !session_.stop() && !engine.comparing();
        }
    };
    session_.search({root_});
    EXPECT_EQ(inCollection, "stop browse");
    for (const std::string& line : view_.log) EXPECT_EQ(line.find("Effacement"), std::string::npos) << line;
    EXPECT_TRUE(stoppedComparison);
    EXPECT_EQ(inSort, "stop browse close");   // the sort ends on its own: the window may close
    EXPECT_EQ(inComparison, "stop browse");
    EXPECT_EQ(allowed(), "search stop browse delete close end");
    EXPECT_TRUE(session_.closeQuery());
    EXPECT_TRUE(session_.stop());
}

// While the trash question waits, the deletion is one act: nothing else starts or stops, input
// is held, and a close asked meanwhile comes once it has ended; a signal's end likewise.
TEST_F(SessionActs, ADeletionHoldsEverythingElseAndWhatWaitedComesAfter) {
    session_.search({root_});
    ResultTrees& trees = session_.viewStores().results;
    const NodeId group = trees.dblList.firstRoot();
    ASSERT_NE(group, kNoNode);
    view_.focus = TreeId::DblList;
    std::string duringQuestion;
    services_.onQuestion = [&](const std::string&) {
        duringQuestion = allowed();
        EXPECT_FALSE(session_.closeQuery());
        return false;   // Non: the file stays
    };
    trees.dblList.select(trees.dblList.firstChild(group));
    session_.trashClick();
    EXPECT_EQ(duringQuestion, "");
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"hold on", "hold off", "close"}));
    EXPECT_EQ(allowed(), "search stop browse delete close end");

    view_.calls.clear();
    services_.onQuestion = [&](const std::string&) {
        session_.endRequested();
        return true;
    };
    session_.trashClick();
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"hold on", "hold off", "end"}));
    EXPECT_TRUE(fs::exists(tree_.path() + "/a/one.txt") && fs::exists(tree_.path() + "/b/two.txt"));
}

// The soft limit of descriptors such that exactly `free` more can be opened; the old limit.
rlimit allowOnly(int free) {
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    int fd = 0;
    for (int left = free; left > 0; ++fd)
        if (fcntl(fd, F_GETFD) == -1) --left;
    rlimit now = before;
    now.rlim_cur = static_cast<rlim_t>(fd);
    setrlimit(RLIMIT_NOFILE, &now);
    return before;
}

// Out of descriptors while the files are compared: the run ends with the input/output error,
// never with "Fini !", and no file is called inaccessible for the process's shortage.
TEST_F(SessionActs, ASearchThatCouldNotOpenItsFilesIsNoSuccess) {
#ifdef __SANITIZE_ADDRESS__
    // Their probes of memory open a pipe each: with no descriptor left they misreport.
    GTEST_SKIP() << "the sanitizers' runtime wants descriptors of its own";
#endif
    for (int i = 0; i < 1500; ++i) tree_.write("many/f" + std::to_string(i), "same size " + std::to_string(i % 10));
    rlimit before{};
    bool lowered = false;
    // Room for the comparison's three work files, none for a searched file.
    view_.onPhaseStarted = [&](SearchPhase phase) {
        if (phase != SearchPhase::Comparison) return;
        before = allowOnly(3);
        lowered = true;
    };
    // The sort after the walk: a last merge still under way when the comparison begins holds
    // run files whose slots, once closed, would be room for searched files.
    setenv("PARELIX_SORT_AHEAD", "0", 1);
    int code = 0;
    try {
        session_.search({root_});
    } catch (const InOutError& e) {
        code = e.code();
    }
    unsetenv("PARELIX_SORT_AHEAD");
    if (lowered) setrlimit(RLIMIT_NOFILE, &before);
    ASSERT_TRUE(lowered);
    EXPECT_EQ(code, 4);
    EXPECT_TRUE(session_.engine().comparing());   // left as any input/output error leaves it
    for (const std::string& line : view_.log) {
        EXPECT_EQ(line.find(" inaccessible"), std::string::npos) << line;
        EXPECT_NE(line, "Fini !");
    }
}

}  // namespace
}  // namespace parelix
