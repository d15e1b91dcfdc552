#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "platform/DirEnum.h"
#include "platform/Drives.h"
#include "platform/NeverSearched.h"
#include "platform/TrashFolders.h"
#include "support/TestSupport.h"

using namespace parelix;
using parelix::test::TempDir;

namespace {

std::string windowsPattern(const std::string& posixDir) {
    std::string w = DriveTable::current().toWindows(posixDir).value();
    if (w.back() != '\\') w += '\\';
    return w + "*.*";
}

struct Listing {
    std::vector<std::string> order;
    std::map<std::string, FindData> byName;
};

Listing list(const std::string& pattern, std::uint32_t mask = faAnyFile,
             const DriveTable& drives = DriveTable::current()) {
    Listing l;
    DirEnumerator e(drives);
    FindData d;
    for (bool more = e.findFirst(pattern, mask, d); more; more = e.findNext(d)) {
        l.order.push_back(d.name);
        l.byName[d.name] = d;
    }
    e.findClose();
    return l;
}

// A folder with one entry of every kind a listing must sort out.
struct Tree {
    TempDir dir;
    Tree() {
        dir.write("plain.txt", "hello");
        dir.write(".hidden", "");
        dir.write("ro.txt", "x");
        chmod((dir.path() + "/ro.txt").c_str(), 0444);
        dir.write("back\\slash", "x");
        dir.write("back\\folder/inside", "x");
        symlink("plain.txt", (dir.path() + "/link\\slash").c_str());
        dir.mkdir("sub");
        dir.write("sub/inner", "abc");
        dir.mkdir(".config");
        symlink("plain.txt", (dir.path() + "/link-to-file").c_str());
        symlink("sub", (dir.path() + "/link-to-dir").c_str());
        symlink("nowhere", (dir.path() + "/dangling").c_str());
        mkfifo((dir.path() + "/fifo").c_str(), 0644);
        const int s = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string sock = dir.path() + "/sock";
        if (sock.size() < sizeof addr.sun_path) {
            std::copy(sock.begin(), sock.end(), addr.sun_path);
            bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        }
        close(s);
    }
};

}  // namespace

TEST(DirEnumerator, ListsOnlyFoldersAndRegularFiles) {
    Tree t;
    struct stat st;
    ASSERT_EQ(lstat((t.dir.path() + "/fifo").c_str(), &st), 0);
    ASSERT_TRUE(S_ISFIFO(st.st_mode));

    const Listing l = list(windowsPattern(t.dir.path()));
    ASSERT_GE(l.order.size(), 2u);
    EXPECT_EQ(l.order[0], ".");
    EXPECT_EQ(l.order[1], "..");
    std::vector<std::string> rest(l.order.begin() + 2, l.order.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{".config", ".hidden", "plain.txt", "ro.txt", "sub"}));

    EXPECT_EQ(l.byName.at(".").attributes, static_cast<std::uint32_t>(faDirectory));
    EXPECT_EQ(l.byName.at("..").attributes, static_cast<std::uint32_t>(faDirectory));
    EXPECT_EQ(l.byName.at("sub").attributes, static_cast<std::uint32_t>(faDirectory));
    EXPECT_EQ(l.byName.at(".config").attributes, static_cast<std::uint32_t>(faDirectory | faHidden));
    EXPECT_EQ(l.byName.at("plain.txt").attributes, static_cast<std::uint32_t>(faArchive));
    EXPECT_EQ(l.byName.at(".hidden").attributes, static_cast<std::uint32_t>(faArchive | faHidden));
    EXPECT_EQ(l.byName.at("ro.txt").attributes, static_cast<std::uint32_t>(faArchive | faReadOnly));
    EXPECT_EQ(l.byName.at("plain.txt").size, 5u);

    ASSERT_EQ(lstat((t.dir.path() + "/plain.txt").c_str(), &st), 0);
    EXPECT_EQ(l.byName.at("plain.txt").inode, st.st_ino);
    EXPECT_EQ(l.byName.at("plain.txt").device, st.st_dev);
    ASSERT_EQ(lstat(t.dir.path().c_str(), &st), 0);
    EXPECT_EQ(l.byName.at(".").inode, st.st_ino);

    // Names holding a backslash are told to whoever asks, folders and files only, and still
    // never listed.
    DirEnumerator e(DriveTable::current());
    std::vector<std::pair<std::string, bool>> unnameable;
    e.onUnnameable = [&](const std::string& name, bool folder) { unnameable.emplace_back(name, folder); };
    FindData d;
    std::vector<std::string> listed;
    for (bool more = e.findFirst(windowsPattern(t.dir.path()), faAnyFile, d); more; more = e.findNext(d))
        listed.push_back(d.name);
    EXPECT_EQ(listed.size(), l.order.size());
    std::sort(unnameable.begin(), unnameable.end());
    EXPECT_EQ(unnameable, (std::vector<std::pair<std::string, bool>>{{"back\\folder", true}, {"back\\slash", false}}));
    unnameable.clear();
    for (bool more = e.findFirst(windowsPattern(t.dir.path()), faAnyFile & ~faDirectory, d); more; more = e.findNext(d)) {
    }
    EXPECT_EQ(unnameable, (std::vector<std::pair<std::string, bool>>{{"back\\slash", false}}));

    // Read whole: the entries in the listing's order, "." and ".." left out, each name with a
    // backslash where the listing met it.
    std::vector<std::string> met;
    e.onUnnameable = [&](const std::string& name, bool) { met.push_back("unnameable " + name); };
    for (bool more = e.findFirst(windowsPattern(t.dir.path()), faAnyFile, d); more; more = e.findNext(d))
        if (d.name != "." && d.name != "..") met.push_back(d.name);
    std::string folder = windowsPattern(t.dir.path());
    folder.resize(folder.size() - 3);
    const FolderListing whole = listFolder(DriveTable::current(), folder);
    std::vector<std::string> read;
    for (const ListedEntry& x : whole.entries) read.push_back((x.unnameable ? "unnameable " : "") + x.name);
    EXPECT_EQ(read, met);
    EXPECT_FALSE(whole.abandoned);
    ASSERT_TRUE(whole.identity.has_value());
    EXPECT_EQ(whole.identity->inode, l.byName.at(".").inode);
}

// A reading asked to stop ends within a few hundred entries and says it is not whole.
TEST(DirEnumerator, ReadingWholeStopsWhenAsked) {
    TempDir dir;
    for (int k = 0; k < 600; ++k) dir.write("f" + std::to_string(k), "");
    std::string folder = windowsPattern(dir.path());
    folder.resize(folder.size() - 3);
    std::atomic<bool> stop{false};
    const FolderListing whole = listFolder(DriveTable::current(), folder, &stop);
    EXPECT_EQ(whole.entries.size(), 600u);
    EXPECT_FALSE(whole.abandoned);
    stop = true;
    const FolderListing cut = listFolder(DriveTable::current(), folder, &stop);
    EXPECT_TRUE(cut.abandoned);
    EXPECT_LT(cut.entries.size(), 600u);
}

TEST(DirEnumerator, MaskWithoutDirectoriesListsFilesOnly) {
    Tree t;
    const Listing l = list(windowsPattern(t.dir.path()), faAnyFile & ~faDirectory);
    std::vector<std::string> names = l.order;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "plain.txt", "ro.txt"}));
}

TEST(DirEnumerator, PatternsAndSubfolders) {
    Tree t;
    const Listing sub = list(windowsPattern(t.dir.path() + "/sub"));
    EXPECT_EQ(sub.order, (std::vector<std::string>{".", "..", "inner"}));
    EXPECT_EQ(sub.byName.at("inner").size, 3u);

    std::string txt = windowsPattern(t.dir.path());
    txt.replace(txt.size() - 3, 3, "*.txt");
    Listing l = list(txt);
    std::sort(l.order.begin(), l.order.end());
    EXPECT_EQ(l.order, (std::vector<std::string>{"plain.txt", "ro.txt"}));
}

TEST(DirEnumerator, SizesKeepSixtyFourBits) {
    TempDir dir;
    const std::string big = dir.write("big", "");
    ASSERT_EQ(truncate(big.c_str(), 5'000'000'000LL), 0);   // sparse: costs no space
    const Listing l = list(windowsPattern(dir.path()));
    EXPECT_EQ(l.byName.at("big").size, 5'000'000'000ULL);
}

TEST(DirEnumerator, UnusableFoldersListNothing) {
    TempDir dir;
    dir.write("file", "x");
    DirEnumerator e(DriveTable::current());
    FindData d;
    EXPECT_FALSE(e.findFirst(windowsPattern(dir.path() + "/missing"), faAnyFile, d));
    EXPECT_FALSE(e.findNext(d));
    EXPECT_FALSE(e.findFirst(windowsPattern(dir.path() + "/file"), faAnyFile, d));
    EXPECT_FALSE(e.findFirst("Q:\\*.*", faAnyFile, d));
    EXPECT_FALSE(e.findFirst("*.*", faAnyFile, d));

    EXPECT_FALSE(e.findFirst(windowsPattern(dir.path() + "/missing"), faAnyFile, d));
    EXPECT_EQ(e.openError(), ENOENT);
    EXPECT_FALSE(e.wantedResources());

    // A symbolic link to a folder is not followed even when named directly.
    symlink(dir.path().c_str(), (dir.path() + "/loop").c_str());
    EXPECT_FALSE(e.findFirst(windowsPattern(dir.path() + "/loop"), faAnyFile, d));

    // A folder its reader may not open: checked by an unprivileged child.
    const std::string closed = dir.mkdir("closed");
    dir.write("closed/secret", "x");
    chmod(closed.c_str(), 0700);
    chmod(dir.path().c_str(), 0755);
    const std::string pattern = windowsPattern(closed);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        DirEnumerator inChild(DriveTable::current());
        FindData found;
        _exit(inChild.findFirst(pattern, faAnyFile, found) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DirEnumerator, HiddenMountPointsAreLeftOut) {
    TempDir dir;
    dir.mkdir("visible");
    dir.mkdir("pseudo");
    dir.mkdir("pseudo/x");
    std::vector<MountEntry> mounts = parseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    MountEntry pseudo;
    pseudo.mountPoint = dir.path() + "/pseudo";
    pseudo.fsType = "proc";
    mounts.push_back(pseudo);
    const DriveTable drives = DriveTable::fromMounts(mounts);

    const Listing l = list(windowsPattern(dir.path()), faAnyFile, drives);
    EXPECT_EQ(l.order, (std::vector<std::string>{".", "..", "visible"}));
    // Asked for by its own path it still lists, as a drive's root does.
    EXPECT_EQ(list(windowsPattern(dir.path() + "/pseudo"), faAnyFile, drives).order,
              (std::vector<std::string>{".", "..", "x"}));
}

// The home trash and this user's trash folders at the top of each mounted file system are
// listed, as every hidden folder is (the drive tree shows them), and the walk's one place of
// what is never searched leaves them out: by name in the folder that holds them, and as a
// search path inside one. Another user's trash folder and the shared .Trash are ordinary
// folders; exclusions are filed the same way.
TEST(NeverSearched, TrashFoldersAreListedAndLeftOutOfTheSearch) {
    TempDir dir;
    const std::string uid = std::to_string(getuid());
    dir.write("data/Trash/files/x", "x");
    dir.mkdir("data/Trashy");
    dir.write("usb/.Trash-" + uid + "/files/y", "y");
    dir.mkdir("usb/.Trash-99999");
    dir.mkdir("usb/.Trash/" + uid + "/files");
    dir.mkdir("usb/.Trash/99999");
    dir.mkdir("plain/.Trash-" + uid);   // not the top of a file system
    const std::string d = dir.path();
    const TrashFolders trash(d + "/data/Trash", {"/", d + "/usb"}, getuid());
    const DriveTable& drives = DriveTable::current();
    const std::string w = drives.toWindows(d).value();
    const NeverSearched never(drives, {w + "\\plain\\gone", w + "\\data\\Trashy\\"}, trash);

    std::vector<std::string> data = list(windowsPattern(d + "/data")).order;
    std::sort(data.begin(), data.end());
    EXPECT_EQ(data, (std::vector<std::string>{".", "..", "Trash", "Trashy"}));
    std::vector<std::string> top = list(windowsPattern(d + "/usb")).order;
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{".", "..", ".Trash", ".Trash-" + uid, ".Trash-99999"}));

    const auto skipped = [&](const std::string& folder) {
        const std::vector<std::string>* names = never.skippedIn(folder);
        std::vector<std::string> out = names ? *names : std::vector<std::string>{};
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(skipped(w + "\\data"), (std::vector<std::string>{"Trash", "Trashy"}));
    EXPECT_EQ(skipped(w + "\\usb"), std::vector<std::string>{".Trash-" + uid});
    EXPECT_EQ(skipped(w + "\\usb\\.Trash"), std::vector<std::string>{uid});
    EXPECT_EQ(skipped(w + "\\plain"), std::vector<std::string>{"gone"});
    EXPECT_EQ(skipped("C:"), std::vector<std::string>{".Trash-" + uid});   // the root is a file system's top too
    EXPECT_EQ(never.skippedIn(w), nullptr);

    using Reason = NeverSearched::Reason;
    for (const std::string& in : {w + "\\data\\Trash", w + "\\data\\Trash\\", w + "\\data\\Trash\\files\\x",
                                  w + "\\usb\\.Trash-" + uid, w + "\\usb\\.Trash\\" + uid + "\\files"})
        EXPECT_EQ(never.skipped(in), Reason::Trash) << in;
    for (const std::string& out : {w + "\\data", w + "\\data\\Trash2", w + "\\usb\\.Trash", w + "\\usb\\.Trash\\99999",
                                   w + "\\usb\\.Trash-99999", w + "\\plain\\.Trash-" + uid, w + "\\usb\\.Trash-" + uid + "0",
                                   std::string("Q:\\anything")})
        EXPECT_EQ(never.skipped(out), Reason::None) << out;
    EXPECT_EQ(never.skipped(w + "\\data\\Trashy\\sub"), Reason::Excluded);
    EXPECT_EQ(never.skipped(w + "\\data\\Trashy"), Reason::Excluded);
}

TEST(DirEnumerator, EnumeratorsNestAndRestart) {
    TempDir dir;
    dir.mkdir("a");
    dir.write("a/f1", "1");
    dir.mkdir("b");
    dir.write("b/f2", "22");
    // The walk keeps a parent listing open while it lists each child.
    DirEnumerator outer(DriveTable::current());
    FindData d;
    std::vector<std::string> seen;
    for (bool more = outer.findFirst(windowsPattern(dir.path()), faAnyFile, d); more;
         more = outer.findNext(d)) {
        if (d.name == "." || d.name == "..") continue;
        const std::string name = d.name;
        for (const std::string& inner : list(windowsPattern(dir.path() + "/" + name)).order)
            if (inner != "." && inner != "..") seen.push_back(name + "/" + inner);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"a/f1", "b/f2"}));
    // A second findFirst on the same enumerator starts a fresh listing.
    EXPECT_TRUE(outer.findFirst(windowsPattern(dir.path() + "/a"), faAnyFile, d));
    EXPECT_EQ(d.name, ".");
}
