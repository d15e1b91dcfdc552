// Which paths lie in one of the user's trash folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/TrashFolders.h"
#include "support/TestSupport.h"

using namespace parelix;
namespace fs = std::filesystem;

namespace {

// Whole components only, the home trash anywhere, a mount's trash only at its top and only
// the user's own.
TEST(TrashFolders, TheHomeTrashAndEachMountsTopTrashOfTheUser) {
    const std::vector<std::string> mounts{"/", "/media/usb", "/srv/data"};
    const std::string home = "/home/u/.local/share/Trash";
    const auto inside = [&](const std::string& path) { return insideTrashFolder(path, mounts, home, 1000); };

    EXPECT_TRUE(inside("/home/u/.local/share/Trash"));
    EXPECT_TRUE(inside("/home/u/.local/share/Trash/files/x.jpg"));
    EXPECT_TRUE(inside("/home/u/.local/share//Trash/./info/x.jpg.trashinfo"));
    EXPECT_TRUE(inside("/home/u/photos/../.local/share/Trash/files/x.jpg"));
    EXPECT_FALSE(inside("/home/u/.local/share/Trash2/x.jpg"));
    EXPECT_FALSE(inside("/home/u/.local/share/Tras"));
    EXPECT_FALSE(inside("/home/u/.local/share"));

    EXPECT_TRUE(inside("/media/usb/.Trash-1000/files/x.jpg"));
    EXPECT_TRUE(inside("/media/usb/.Trash/1000"));
    EXPECT_TRUE(inside("/srv/data/.Trash/1000/files/a/b"));
    EXPECT_TRUE(inside("/.Trash-1000/files/x.jpg"));   // the root is a mount too
    EXPECT_FALSE(inside("/media/usb/.Trash-10000/files/x.jpg"));
    EXPECT_FALSE(inside("/media/usb/.Trash/10001/x.jpg"));
    EXPECT_FALSE(inside("/media/usb/.Trash-1001/files/x.jpg"));   // another user's
    EXPECT_FALSE(inside("/media/usb/.Trash/x.jpg"));
    EXPECT_FALSE(inside("/media/usb/backup/.Trash-1000/x.jpg"));   // not at a file system's top
    EXPECT_FALSE(inside("/media/usb/x.jpg"));
    EXPECT_FALSE(insideTrashFolder("/media/usb/.Trash-1000/x", mounts, home, 1001));
}

// The real predicate: the home trash from XDG_DATA_HOME or HOME, a symbolic link into a trash
// counted as the trash, and a file system mounted after the first question.
TEST(TrashFolders, TheSystemsTrashFoldersAsTheyAreNow) {
    test::TempDir dir;
    const std::string data = dir.mkdir("data");
    test::EnvVariable dataHome("XDG_DATA_HOME", data.c_str());
    const std::string trashed = dir.write("data/Trash/files/x.jpg", "x");
    const std::string plain = dir.write("photos/x.jpg", "x");
    fs::create_directory_symlink(data + "/Trash/files", dir.path() + "/photos/via");
    fs::create_symlink(trashed, dir.path() + "/photos/link.jpg");

    EXPECT_TRUE(insideTrashFolder(trashed));
    EXPECT_TRUE(insideTrashFolder(dir.path() + "/photos/via/x.jpg"));
    EXPECT_TRUE(insideTrashFolder(dir.path() + "/photos/link.jpg"));
    EXPECT_FALSE(insideTrashFolder(plain));
    {
        // Without XDG_DATA_HOME (or with a relative one): ~/.local/share/Trash.
        test::EnvVariable noDataHome("XDG_DATA_HOME", "relative");
        test::EnvVariable home("HOME", dir.path().c_str());
        EXPECT_FALSE(insideTrashFolder(trashed));
        EXPECT_TRUE(insideTrashFolder(dir.write(".local/share/Trash/files/x.jpg", "x")));
    }

    const std::string top = dir.mkdir("usb");
    const std::string uid = std::to_string(::getuid());
    EXPECT_FALSE(insideTrashFolder(dir.write("usb/.Trash-" + uid + "/files/x.jpg", "x")));   // not a mount yet
    test::ScopedMount mount = test::ScopedMount::tmpfs(top, "1m");
    if (!mount.ok()) GTEST_SKIP() << mount.why();
    EXPECT_TRUE(insideTrashFolder(dir.write("usb/.Trash-" + uid + "/files/x.jpg", "x")));
    EXPECT_TRUE(insideTrashFolder(dir.write("usb/.Trash/" + uid + "/files/x.jpg", "x")));
    EXPECT_FALSE(insideTrashFolder(dir.write("usb/copy/.Trash-" + uid + "/x.jpg", "x")));
}

}  // namespace
