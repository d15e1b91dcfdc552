// One deletion at a time across Parelix processes: a deletion waits, painted, while another
// process deletes, and its check then reads the disk as the other one left it.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <string>

#include "platform/DeletionLock.h"
#include "platform/Drives.h"
#include "results/Deletion.h"
#include "session/Session.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/FakeSessionView.h"
#include "support/TestSupport.h"

extern char** environ;

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME; the peers inherit it

std::string refusal(const std::string& name) {
    return "Plus aucune autre copie identique de «\u00A0" + name + "\u00A0», fichier conservé.";
}

// A session_deletion_peer process: its standard input and output are ours.
class Peer {
public:
    Peer(const std::string& folder, const std::string& file, const std::string& way) {
        int toPeer[2], fromPeer[2];
        if (::pipe2(toPeer, O_CLOEXEC) != 0 || ::pipe2(fromPeer, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toPeer[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromPeer[1], 1);
        std::string program = PARELIX_DELETION_PEER;
        std::string a = folder, b = file, c = way;
        char* args[] = {program.data(), a.data(), b.data(), c.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, args, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toPeer[0]);
        ::close(fromPeer[1]);
        in_ = toPeer[1];
        out_ = ::fdopen(fromPeer[0], "r");
    }
    ~Peer() {
        if (in_ >= 0) ::close(in_);
        if (out_) std::fclose(out_);
        if (pid_ > 0) wait();
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::string line() {
        std::string text;
        for (int c; out_ && (c = std::fgetc(out_)) != EOF && c != '\n';) text.push_back(static_cast<char>(c));
        return text;
    }
    void go() {
        (void)!::write(in_, "go\n", 3);
        ::close(in_);
        in_ = -1;
    }
    std::string rest() {
        std::string text;
        for (int c; out_ && (c = std::fgetc(out_)) != EOF;) text.push_back(static_cast<char>(c));
        return text;
    }
    int wait() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    FILE* out_ = nullptr;
};

class DeletionLockTest : public ::testing::Test {
protected:
    test::TempDir runtime_;
    test::EnvVariable runtimeDir_{"XDG_RUNTIME_DIR", runtime_.path().c_str()};
    test::TempDir work_;
    test::TmpDirVariable tmpDir_{work_.path().c_str()};
};

// Two processes each send to the trash the only other copy of the file the other one sends:
// whichever goes first, the second one's check finds its copy gone, and the file stays. The
// checks are long (slow reads), so that without the lock both would read both files intact.
TEST_F(DeletionLockTest, TwoProcessesDeletingEachOthersCopyLeaveOne) {
    EXPECT_EQ(deletionLockPaths().front(), runtime_.path() + "/parelix-deletion.lock");
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        test::TempDir tree;
        const std::string bytes(8 * kContentChunkSize, static_cast<char>('a' + round));
        tree.write("a/big", bytes);
        tree.write("b/big", bytes);
        // Dropped (checked right before the move) or clicked (checked before the question too).
        Peer first(tree.path(), "a/big", round % 2 ? "click" : "drop");
        Peer second(tree.path(), "b/big", round / 2 ? "click" : "drop");
        ASSERT_EQ(first.line(), "ready");
        ASSERT_EQ(second.line(), "ready");
        first.go();
        second.go();
        const std::string one = first.rest(), two = second.rest();
        EXPECT_EQ(first.wait(), 0);
        EXPECT_EQ(second.wait(), 0);
        EXPECT_TRUE(fs::exists(tree.path() + "/a/big") || fs::exists(tree.path() + "/b/big"));
        const std::string kept = "kept\n" + refusal("big") + "\n";
        EXPECT_TRUE((one == "moved\n" && two == kept) || (one == kept && two == "moved\n")) << one << two;
    }
}

// A hold taken inside another of the same process shares it (a second lock of the file would
// wait for itself), and the file is free again once both have gone. A wait given up holds
// nothing: no hold is shared with it, and the file stays the other one's.
TEST_F(DeletionLockTest, AHoldInsideAHoldSharesItAndAWaitGivenUpHoldsNothing) {
    const std::vector<std::string> paths = deletionLockPaths();
    const auto neverWaits = [] {
        ADD_FAILURE() << "waited for its own process";
        return false;
    };
    {
        const DeletionLock outer(paths, neverWaits);
        const DeletionLock inner(paths, neverWaits);
        EXPECT_TRUE(outer.acquired() && inner.acquired());
    }
    const int other = ::open(paths.front().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    int waits = 0;
    const auto givesUp = [&] { return ++waits > 2 ? false : true; };
    {
        const DeletionLock given(paths, givesUp);
        EXPECT_FALSE(given.acquired());
        EXPECT_EQ(waits, 3);
        waits = 0;
        const DeletionLock next(paths, givesUp);   // waits as well: nothing of the first is held
        EXPECT_FALSE(next.acquired());
        EXPECT_EQ(waits, 3);
    }
    ::close(other);
    const DeletionLock after(paths, neverWaits);
    EXPECT_TRUE(after.acquired());
}

// Without a runtime folder the lock lives in the home folder; so it does when the runtime
// folder's lock file cannot be used (a symbolic link planted there, another user's file).
// When no file can be used the deletion goes on unlocked, and the first one says so.
TEST_F(DeletionLockTest, TheLockFileFallsBackToTheHomeFolder) {
    test::EnvVariable home("HOME", work_.path().c_str());
    const std::string homeLock = work_.path() + "/.parelix-deletion.lock";
    {
        test::EnvVariable noRuntime("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(deletionLockPaths(), std::vector<std::string>{homeLock});
        test::EnvVariable missingRuntime("XDG_RUNTIME_DIR", (work_.path() + "/none").c_str());
        EXPECT_EQ(deletionLockPaths(), std::vector<std::string>{homeLock});
    }
    const std::string runtimeLock = runtime_.path() + "/parelix-deletion.lock";
    EXPECT_EQ(deletionLockPaths(), (std::vector<std::string>{runtimeLock, homeLock}));
    // The lock taken is the one another process finds held.
    const auto heldElsewhere = [](const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0) ::close(fd);
        return held;
    };
    const auto noWait = [] { return false; };
    fs::create_symlink(work_.path() + "/elsewhere", runtimeLock);
    {
        const DeletionLock lock(deletionLockPaths(), noWait);
        EXPECT_TRUE(lock.acquired() && !lock.withoutLockFile());
        EXPECT_TRUE(heldElsewhere(homeLock));
        EXPECT_FALSE(fs::exists(work_.path() + "/elsewhere"));   // nothing made through the link
    }
    fs::remove(runtimeLock);
    std::ofstream(runtimeLock).put('x');
    ASSERT_EQ(::chown(runtimeLock.c_str(), 65534, 65534), 0);
    {
        const DeletionLock lock(deletionLockPaths(), noWait);
        EXPECT_TRUE(lock.acquired() && !lock.withoutLockFile());
        EXPECT_TRUE(heldElsewhere(homeLock));
    }
    fs::remove(homeLock);
    fs::create_symlink(work_.path() + "/elsewhere", homeLock);
    const DeletionLock first(deletionLockPaths(), noWait);
    EXPECT_TRUE(first.acquired() && first.withoutLockFile() && first.firstWithoutLockFile());
    const DeletionLock second(deletionLockPaths(), noWait);
    EXPECT_TRUE(second.acquired() && second.withoutLockFile() && !second.firstWithoutLockFile());
}

// A session's deletion while another process holds the lock: it waits with the input held,
// the window painted (event turns) and the status bar saying so, then reads the disk as the
// other one left it. A signal while it waits ends the wait; nothing is asked or moved.
TEST_F(DeletionLockTest, ASessionWaitsPaintedForAnotherProcesssDeletion) {
    test::TempDir tree;
    tree.write("a/one.txt", "same content");
    tree.write("b/two.txt", "same content");
    test::RecordingServices services;
    test::FakeSessionView view;
    Session session(services);
    session.attach(&view);
    session.start();
    const std::string root = *DriveTable::current().toWindows(tree.path());
    session.search({root});
    ResultTrees& trees = session.viewStores().results;
    NodeId one = kNoNode;
    for (const NodeId n : test::preorder(trees.dirList))
        if (trees.nodePath(n) == root + "\\a\\one.txt") one = n;
    ASSERT_NE(one, kNoNode);
    ASSERT_NE(trees.dirList.link(one), kNoNode);

    // The other process's hold: a lock of its own on the same file.
    const int other = ::open(deletionLockPaths().front().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    trees.dirList.select(one);
    const std::string shown = view.status;
    view.calls.clear();
    int waits = 0;
    view.onEventTurn = [&] {
        if (view.status != kWaitingStatus + root + "\\a\\one.txt") return;
        EXPECT_EQ(view.calls, std::vector<std::string>{"hold on"});
        if (++waits == 3) {
            fs::remove(tree.path() + "/b/two.txt");   // the other process's move
            ::flock(other, LOCK_UN);
        }
    };
    session.dropOnTrash(TreeId::DirList);
    EXPECT_EQ(waits, 3);
    EXPECT_TRUE(fs::exists(tree.path() + "/a/one.txt"));
    EXPECT_EQ(services.errors(), std::vector<std::string>{refusal("one.txt")});
    EXPECT_EQ(view.status, shown);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"hold on", "hold off"}));

    tree.write("b/two.txt", "same content");
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    // Escape while it waits gives the act up: nothing is asked, moved or shown, and the next
    // act is not given up with it.
    view.onEventTurn = [&] {
        if (view.status.rfind(kWaitingStatus, 0) == 0) session.escapePressed();
    };
    session.escapePressed();   // not waiting: nothing to give up
    const std::size_t logged = view.log.size();
    view.focus = TreeId::DirList;
    trees.dirList.select(one);
    session.trashClick();
    EXPECT_TRUE(services.questions.empty());
    EXPECT_TRUE(fs::exists(tree.path() + "/a/one.txt"));
    EXPECT_EQ(services.errors().size(), 1u);
    EXPECT_EQ(view.status, shown);
    EXPECT_EQ(view.calls.back(), "hold off");
    EXPECT_EQ(view.log.size(), logged);
    EXPECT_TRUE(session.mayAct(Act::GoOn));

    view.onEventTurn = [&] {
        if (view.status.rfind(kWaitingStatus, 0) == 0) session.endRequested();
    };
    view.focus = TreeId::DblList;
    trees.dblList.select(trees.dirList.link(one));
    session.trashClick();
    EXPECT_TRUE(services.questions.empty());
    EXPECT_TRUE(fs::exists(tree.path() + "/a/one.txt"));
    EXPECT_FALSE(trash.holds("one.txt"));
    EXPECT_EQ(view.calls.back(), "end");
    ::close(other);
    session.attach(nullptr);
}

// Taking back while another process deletes: the take-back waits for that deletion's end, so
// the other process's check sees the bin as it was (its copy's other copy still there: kept);
// then the file comes back. Either way every byte is on disk or in the bin.
TEST_F(DeletionLockTest, ATakeBackWaitsForAnotherProcesssDeletion) {
    test::TempDir tree;
    const std::string bytes(4 * kContentChunkSize, 'z');
    tree.write("a/big", bytes);
    tree.write("b/big", bytes);
    test::RecordingServices services;
    test::FakeSessionView view;
    Session session(services);
    session.attach(&view);
    session.start();
    const std::string root = *DriveTable::current().toWindows(tree.path());
    session.search({root});
    Peer peer(tree.path(), "b/big", "drop");
    ASSERT_EQ(peer.line(), "ready");
    ResultTrees& trees = session.viewStores().results;
    for (const NodeId n : test::preorder(trees.dirList))
        if (trees.nodePath(n) == root + "\\a\\big") trees.dirList.select(n);
    session.dropOnTrash(TreeId::DirList);
    ASSERT_FALSE(fs::exists(tree.path() + "/a/big"));

    // Once the peer holds the lock (its check, then its slowed move), take back.
    peer.go();
    const int probe = ::open(deletionLockPaths().front().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(probe, 0);
    bool held = false;
    for (int i = 0; i < 20000 && !held; ++i) {
        held = ::flock(probe, LOCK_EX | LOCK_NB) != 0;
        if (!held) ::flock(probe, LOCK_UN);
        else ::usleep(500);
    }
    ::close(probe);
    ASSERT_TRUE(held);
    int turns = 0;
    view.onEventTurn = [&] { ++turns; };
    session.takeBackLast();
    const std::string said = peer.rest();
    EXPECT_EQ(peer.wait(), 0);
    EXPECT_GT(turns, 0);
    EXPECT_EQ(said, "kept\n" + refusal("big") + "\n");
    EXPECT_EQ(test::readFile(tree.path() + "/a/big"), bytes);
    EXPECT_EQ(test::readFile(tree.path() + "/b/big"), bytes);
    session.attach(nullptr);
}

}  // namespace
}  // namespace parelix
