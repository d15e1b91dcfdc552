#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/Drives.h"
#include "platform/Services.h"
#include "platform/Shell.h"
#include "support/TestSupport.h"

using namespace parelix;
namespace fs = std::filesystem;

namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

// The desktop's applications and associations are the test's own (in XDG_DATA_HOME), with
// the system's content types: set, like the trash, before GLib first reads the variables.
struct OwnApplications {
    OwnApplications() {
        const std::string base = trash.base();
        fs::create_directories(base + "/system");
        fs::create_directories(base + "/config");
        const char* dirs = std::getenv("XDG_DATA_DIRS");
        std::stringstream system(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
        for (std::string d; std::getline(system, d, ':');)
            if (fs::exists(d + "/mime/mime.cache")) {
                fs::create_directory_symlink(d + "/mime", base + "/system/mime");
                break;
            }
        setenv("XDG_DATA_DIRS", (base + "/system").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (base + "/config").c_str(), 1);
    }
} ownApplications;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// C: is "/": test folders get predictable Windows-style paths.
DriveTable rootOnly() { return DriveTable::fromMounts({{"/", "ext4", "/dev/root", 8, 1}}); }

class ShellTest : public ::testing::Test {
protected:
    std::string windows(const std::string& posix) const { return *shell.drives().toWindows(posix); }
    SHFILEOPSTRUCTA deleting(const std::string& posix, unsigned extraFlags = 0) const {
        SHFILEOPSTRUCTA op;
        op.wFunc = FO_DELETE;
        op.fFlags = FOF_ALLOWUNDO | FOF_CONFIRMMOUSE | extraFlags;
        op.pFrom = windows(posix);
        return op;
    }

    test::TempDir dir;
    test::RecordingServices shell{rootOnly()};
};

TEST_F(ShellTest, FilesAndFoldersGoToTheTrashWithTheirInfo) {
    const std::string file = dir.write("report.txt", "contents");
    SHFILEOPSTRUCTA first = deleting(file);
    EXPECT_EQ(SHFileOperationA(first, shell), 0);
    EXPECT_FALSE(first.fAnyOperationsAborted);
    // Every copy of a duplicate has the same name: the second line says which folder holds it.
    EXPECT_EQ(shell.questions, (std::vector<std::string>{"Voulez-vous vraiment envoyer «\u00A0report.txt\u00A0» dans la Corbeille\u00A0?\n"
                                                         "Dans " + windows(dir.path())}));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(slurp(fs::path(trash.files()) / "report.txt"), "contents");
    const std::string info = slurp(fs::path(trash.info()) / "report.txt.trashinfo");
    EXPECT_NE(info.find("Path=" + file), std::string::npos) << info;

    // A whole folder, without a question.
    dir.write("album/a.jpg", "A");
    dir.write("album/deep/b.jpg", "B");
    SHFILEOPSTRUCTA op = deleting(dir.path() + "/album", FOF_NOCONFIRMATION);
    EXPECT_EQ(SHFileOperationA(op, shell), 0);
    EXPECT_EQ(shell.questions.size(), 1u);
    EXPECT_FALSE(fs::exists(dir.path() + "/album"));
    EXPECT_EQ(slurp(fs::path(trash.files()) / "album/deep/b.jpg"), "B");
    EXPECT_TRUE(fs::exists(fs::path(trash.info()) / "album.trashinfo"));
    EXPECT_TRUE(shell.errors().empty());
}

TEST_F(ShellTest, TheQuestionNamesTheFolderThatHoldsThePathAndWhatAFolderHolds) {
    dir.write("album/a.jpg", "A");
    dir.write("album/deep/b.jpg", "B");
    dir.mkdir("album/empty");
    dir.mkdir("vide");
    dir.write("seul/un.txt", "1");
    const std::string in = "\nDans " + windows(dir.path());
    EXPECT_EQ(trashQuestion(windows(dir.path() + "/album"), shell.drives()),
              "Voulez-vous vraiment envoyer «\u00A0album\u00A0» dans la Corbeille\u00A0?" + in + ", avec les 2 fichiers qu'il contient");
    EXPECT_EQ(trashQuestion(windows(dir.path() + "/seul"), shell.drives()),
              "Voulez-vous vraiment envoyer «\u00A0seul\u00A0» dans la Corbeille\u00A0?" + in + ", avec le fichier qu'il contient");
    EXPECT_EQ(trashQuestion(windows(dir.path() + "/vide"), shell.drives()),
              "Voulez-vous vraiment envoyer «\u00A0vide\u00A0» dans la Corbeille\u00A0?" + in + ", dossier vide");
    // What lies at a drive's root is in "C:\".
    EXPECT_EQ(trashQuestion("C:\\tmp", shell.drives()).rfind("Voulez-vous vraiment envoyer «\u00A0tmp\u00A0» dans la Corbeille\u00A0?\nDans C:\\, ", 0), 0u);
}

TEST_F(ShellTest, TheLastCheckRunsAfterTheAnswerAndFailuresCanBeGathered) {
    const std::string file = dir.write("late.txt", "x");
    std::vector<std::string> order;
    shell.onQuestion = [&](const std::string&) {
        order.push_back("asked");
        return true;
    };
    SHFILEOPSTRUCTA kept = deleting(file);
    kept.lastCheck = [&] { order.push_back("checked"); return false; };
    EXPECT_NE(SHFileOperationA(kept, shell), 0);
    EXPECT_TRUE(kept.fAnyOperationsAborted);
    EXPECT_EQ(order, (std::vector<std::string>{"asked", "checked"}));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(shell.errors().empty());   // the caller says why

    // A failure's reason is noted; FOF_NOERRORUI keeps it from a box.
    SHFILEOPSTRUCTA gone = deleting(dir.path() + "/missing.txt", FOF_NOCONFIRMATION | FOF_NOERRORUI);
    EXPECT_EQ(SHFileOperationA(gone, shell), 2);
    EXPECT_EQ(gone.failure, "fichier introuvable.");
    EXPECT_TRUE(shell.errors().empty());
}

TEST_F(ShellTest, RefusalAndFailuresDeleteNothing) {
    const std::string file = dir.write("keep.txt", "x");
    shell.answer = false;
    SHFILEOPSTRUCTA refused = deleting(file);
    EXPECT_NE(SHFileOperationA(refused, shell), 0);
    EXPECT_TRUE(refused.fAnyOperationsAborted);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(fs::path(trash.files()) / "keep.txt"));
    EXPECT_TRUE(shell.errors().empty());

    // A file gone since the walk: the error dialog, a non-zero answer, and no question.
    shell.answer = true;
    shell.questions.clear();
    SHFILEOPSTRUCTA missing = deleting(dir.path() + "/gone.txt");
    EXPECT_NE(SHFileOperationA(missing, shell), 0);
    EXPECT_FALSE(missing.fAnyOperationsAborted);
    ASSERT_EQ(shell.errors().size(), 1u);
    EXPECT_NE(shell.errors()[0].find("«\u00A0gone.txt\u00A0»"), std::string::npos) << shell.errors()[0];
    EXPECT_TRUE(shell.questions.empty());

    // An unknown drive and a permanent deletion are refused the same way.
    SHFILEOPSTRUCTA unknown;
    unknown.wFunc = FO_DELETE;
    unknown.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
    unknown.pFrom = "Q:\\nothing";
    EXPECT_NE(SHFileOperationA(unknown, shell), 0);
    SHFILEOPSTRUCTA permanent = deleting(file, FOF_NOCONFIRMATION);
    permanent.fFlags &= ~FOF_ALLOWUNDO;
    EXPECT_NE(SHFileOperationA(permanent, shell), 0);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(shell.errors().size(), 3u);
}

TEST_F(ShellTest, OpeningAnswersTheShellCodes) {
    const std::string file = dir.write("doc.odt", "x");
    EXPECT_EQ(ShellExecuteA(windows(file), "", SW_SHOWNORMAL, shell), 42);
    EXPECT_EQ(shell.launched, (std::vector<std::string>{file}));
    EXPECT_EQ(ShellExecuteA(windows(dir.path()), "", SW_SHOWNORMAL, shell), 42);   // a folder opens too

    shell.launchWorks = false;
    EXPECT_EQ(ShellExecuteA(windows(file), "", SW_SHOWNORMAL, shell), 31);
    EXPECT_EQ(ShellExecuteA(windows(dir.path() + "/absent.odt"), "", SW_SHOWNORMAL, shell), 2);
    EXPECT_EQ(ShellExecuteA(windows(dir.path() + "/no/such/doc.odt"), "", SW_SHOWNORMAL, shell), 3);
    EXPECT_EQ(ShellExecuteA("(1234)", "", SW_SHOWNORMAL, shell), 2);
    EXPECT_EQ(shell.launched.size(), 3u);   // only existing paths reach the launcher
}

// The application the desktop names for a file's type is launched with the file. One that
// cannot start (its working folder is gone) is no launch, as a type no application takes.
TEST_F(ShellTest, TheDefaultApplicationStartsWithTheFile) {
    const std::string marker = dir.path() + "/opened";
    // The marker appears whole (written aside, then renamed): a reader never meets it empty.
    const std::string opener =
        dir.write("opener", "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker + ".part' && mv '" + marker + ".part' '" +
                                marker + "'\n");
    fs::permissions(opener, fs::perms::owner_all);
    const std::string apps = trash.base() + "/data/applications/";
    auto application = [&](const std::string& id, const std::string& type, const std::string& extra) {
        std::ofstream(apps + id) << "[Desktop Entry]\nType=Application\nName=" << id << "\nExec=" << opener
                                 << " %f\nMimeType=" << type << ";\n" << extra;
    };
    fs::create_directories(apps);
    application("parelix-notes.desktop", "text/plain", "");
    application("parelix-viewer.desktop", "image/png", "Path=" + dir.path() + "/gone\n");
    std::ofstream(apps + "mimeapps.list") << "[Default Applications]\ntext/plain=parelix-notes.desktop\n"
                                             "image/png=parelix-viewer.desktop\n";

    const std::string note = dir.write("note.txt", "a few words\n");
    ASSERT_TRUE(launchDefaultApplication(note));
    for (int i = 0; i < 200 && !fs::exists(marker); ++i) usleep(50'000);
    EXPECT_EQ(slurp(marker), note);

    fs::remove(marker);
    EXPECT_FALSE(launchDefaultApplication(dir.write("photo.png", "not much of a picture")));
    EXPECT_FALSE(launchDefaultApplication(dir.write("letter.odt", "x")));
    EXPECT_FALSE(launchDefaultApplication(dir.path() + "/absent.txt"));
    usleep(300'000);   // an opener started anyway would have written by now
    EXPECT_FALSE(fs::exists(marker));
}

// The plain services, a tool's without a window: no question is answered yes, an error goes
// to standard error, nothing is launched.
TEST_F(ShellTest, PlainServicesAskNothingAndLaunchNothing) {
    PlatformServices plain{rootOnly()};
    const std::string file = dir.write("kept.txt", "x");
    SHFILEOPSTRUCTA unasked = deleting(file);
    EXPECT_NE(SHFileOperationA(unasked, plain), 0);
    EXPECT_TRUE(unasked.fAnyOperationsAborted);
    EXPECT_TRUE(fs::exists(file));
    SHFILEOPSTRUCTA gone = deleting(dir.path() + "/gone.txt");
    testing::internal::CaptureStderr();
    EXPECT_NE(SHFileOperationA(gone, plain), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Impossible d'envoyer «\u00A0gone.txt\u00A0» dans la Corbeille\u00A0: fichier introuvable.\n");
    EXPECT_EQ(ShellExecuteA(windows(file), "", SW_SHOWNORMAL, plain), 31);
    // Without a desktop the services have no recycle bin: even an operation that asks
    // nothing leaves the file, and nothing is opened.
    SHFILEOPSTRUCTA unconfirmed = deleting(file, FOF_NOCONFIRMATION);
    EXPECT_NE(plain.fileOperation(unconfirmed), 0);
    EXPECT_TRUE(unconfirmed.fAnyOperationsAborted);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(plain.shellExecute(windows(file), "", SW_SHOWNORMAL), 31);

    // The program's services show the same error in a box of its own.
    EXPECT_NE(SHFileOperationA(gone, shell), 0);
    ASSERT_EQ(shell.shown.size(), 1u);
    EXPECT_EQ(shell.shown[0].text, "Impossible d'envoyer «\u00A0gone.txt\u00A0» dans la Corbeille\u00A0: fichier introuvable.");
    EXPECT_EQ(shell.shown[0].caption, "Erreur");
    EXPECT_EQ(shell.shown[0].kind, MessageKind::Error);
}

}  // namespace
