#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Drives.h"
#include "platform/Shell.h"
#include "support/TestSupport.h"

using namespace parelix;
namespace fs = std::filesystem;

namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        // C: is "/": test folders get predictable Windows-style paths.
        DriveTable::setCurrentForTesting(DriveTable::fromMounts({{"/", "ext4", "/dev/root", 8, 1}}));
        ShellHooks hooks;
        hooks.confirm = [this](const std::string& q) { questions.push_back(q); return answer; };
        hooks.showError = [this](const std::string& m) { errors.push_back(m); };
        hooks.launch = [this](const std::string& p) { launched.push_back(p); return launchWorks; };
        setShellHooks(hooks);
    }
    void TearDown() override { setShellHooks({}); }

    static std::string windows(const std::string& posix) {
        return *DriveTable::current().toWindows(posix);
    }
    static SHFILEOPSTRUCTA deleting(const std::string& posix, unsigned extraFlags = 0) {
        SHFILEOPSTRUCTA op;
        op.wFunc = FO_DELETE;
        op.fFlags = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE | extraFlags;
        op.pFrom = windows(posix);
        return op;
    }

    test::TempDir dir;
    bool answer = true;
    bool launchWorks = true;
    std::vector<std::string> questions, errors, launched;
};

TEST_F(ShellTest, FilesAndFoldersGoToTheTrashWithTheirInfo) {
    const std::string file = dir.write("report.txt", "contents");
    SHFILEOPSTRUCTA first = deleting(file);
    EXPECT_EQ(SHFileOperationA(first), 0);
    EXPECT_FALSE(first.fAnyOperationsAborted);
    EXPECT_EQ(questions, (std::vector<std::string>{"Voulez-vous vraiment envoyer « report.txt » dans la Corbeille ?"}));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(slurp(fs::path(trash.files()) / "report.txt"), "contents");
    const std::string info = slurp(fs::path(trash.info()) / "report.txt.trashinfo");
    EXPECT_NE(info.find("Path=" + file), std::string::npos) << info;

    // A whole folder, without a question.
    dir.write("album/a.jpg", "A");
    dir.write("album/deep/b.jpg", "B");
    SHFILEOPSTRUCTA op = deleting(dir.path() + "/album", FOF_NOCONFIRMATION);
    EXPECT_EQ(SHFileOperationA(op), 0);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_FALSE(fs::exists(dir.path() + "/album"));
    EXPECT_EQ(slurp(fs::path(trash.files()) / "album/deep/b.jpg"), "B");
    EXPECT_TRUE(fs::exists(fs::path(trash.info()) / "album.trashinfo"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ShellTest, RefusalAndFailuresDeleteNothing) {
    const std::string file = dir.write("keep.txt", "x");
    answer = false;
    SHFILEOPSTRUCTA refused = deleting(file);
    EXPECT_NE(SHFileOperationA(refused), 0);
    EXPECT_TRUE(refused.fAnyOperationsAborted);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(fs::path(trash.files()) / "keep.txt"));
    EXPECT_TRUE(errors.empty());

    // A file gone since the walk: the error dialog, a non-zero answer, and no question.
    answer = true;
    questions.clear();
    SHFILEOPSTRUCTA missing = deleting(dir.path() + "/gone.txt");
    EXPECT_NE(SHFileOperationA(missing), 0);
    EXPECT_FALSE(missing.fAnyOperationsAborted);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("« gone.txt »"), std::string::npos) << errors[0];
    EXPECT_TRUE(questions.empty());

    // An unknown drive and a permanent deletion are refused the same way.
    SHFILEOPSTRUCTA unknown;
    unknown.wFunc = FO_DELETE;
    unknown.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
    unknown.pFrom = "Q:\\nothing";
    EXPECT_NE(SHFileOperationA(unknown), 0);
    SHFILEOPSTRUCTA permanent = deleting(file, FOF_NOCONFIRMATION);
    permanent.fFlags &= ~FOF_ALLOWUNDO;
    EXPECT_NE(SHFileOperationA(permanent), 0);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(errors.size(), 3u);
}

TEST_F(ShellTest, OpeningAnswersTheShellCodes) {
    const std::string file = dir.write("doc.odt", "x");
    EXPECT_EQ(ShellExecuteA(windows(file), "", SW_SHOWNORMAL), 42);
    EXPECT_EQ(launched, (std::vector<std::string>{file}));
    EXPECT_EQ(ShellExecuteA(windows(dir.path()), "", SW_SHOWNORMAL), 42);   // a folder opens too

    launchWorks = false;
    EXPECT_EQ(ShellExecuteA(windows(file), "", SW_SHOWNORMAL), 31);
    EXPECT_EQ(ShellExecuteA(windows(dir.path() + "/absent.odt"), "", SW_SHOWNORMAL), 2);
    EXPECT_EQ(ShellExecuteA(windows(dir.path() + "/no/such/doc.odt"), "", SW_SHOWNORMAL), 3);
    EXPECT_EQ(ShellExecuteA("(1234)", "", SW_SHOWNORMAL), 2);
    EXPECT_EQ(launched.size(), 3u);   // only existing paths reach the launcher
}

}  // namespace
