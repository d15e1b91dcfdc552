#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "platform/Drives.h"
#include "platform/NeverSearched.h"

using namespace parelix;

namespace {

MountEntry mount(std::string point, std::string type, unsigned major = 0, unsigned minor = 0) {
    MountEntry e;
    e.mountPoint = std::move(point);
    e.fsType = std::move(type);
    e.major = major;
    e.minor = minor;
    return e;
}

const Drive* driveAt(const DriveTable& t, const std::string& point) {
    for (const Drive& d : t.drives())
        if (d.mountPoint == point) return &d;
    return nullptr;
}

// A machine with a root, a home partition, a few lettered file systems and the usual
// pseudo file systems, listed in mount order rather than mount-point order.
DriveTable sampleTable() {
    return DriveTable::fromMounts({
        mount("/", "ext4", 254, 0),
        mount("/proc", "proc"),
        mount("/mnt/zeta", "ext4", 8, 17),
        mount("/home", "ext4", 254, 1),
        mount("/media/usb", "vfat", 8, 33),
        mount("/run/media/ann/DVD", "iso9660", 11, 0),
        mount("/media/usb/inner", "ext4", 8, 49),
        mount("/sys", "sysfs"),
        mount("/sys/kernel/debug", "debugfs"),
    }, [](unsigned major, unsigned minor) { return major == 8 && minor == 33; });
}

}  // namespace

TEST(MountInfo, ParsesFieldsAndDecodesEscapes) {
    const std::string text =
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "40 27 8:17 / /media/My\\040Disk\\011x rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "41 27 0:45 / /mnt/back\\134slash rw - fuse.sshfs me@host:/srv\\040data rw\n"
        "garbage line\n"
        "42 27 0:46 / /mnt/last rw - tmpfs tmpfs rw";   // no final newline
    const auto m = parseMountInfo(text);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].mountPoint, "/");
    EXPECT_EQ(m[0].major, 254u);
    EXPECT_EQ(m[1].mountPoint, "/media/My Disk\tx");
    EXPECT_EQ(m[1].fsType, "vfat");   // optional fields before "-" skipped
    EXPECT_EQ(m[1].source, "/dev/sdb1");
    EXPECT_EQ(m[1].major, 8u);
    EXPECT_EQ(m[1].minor, 17u);
    EXPECT_EQ(m[2].mountPoint, "/mnt/back\\slash");
    EXPECT_EQ(m[2].source, "me@host:/srv data");
    EXPECT_EQ(m[3].mountPoint, "/mnt/last");
}

TEST(DriveTable, LettersFollowMountPointOrder) {
    const DriveTable t = sampleTable();
    ASSERT_EQ(t.drives().size(), 5u);
    EXPECT_EQ(t.drives()[0].letter, 'C');
    EXPECT_EQ(t.drives()[0].mountPoint, "/");
    EXPECT_EQ(driveAt(t, "/media/usb")->letter, 'D');
    EXPECT_EQ(driveAt(t, "/media/usb/inner")->letter, 'E');
    EXPECT_EQ(driveAt(t, "/mnt/zeta")->letter, 'F');
    EXPECT_EQ(driveAt(t, "/run/media/ann/DVD")->letter, 'G');
    EXPECT_EQ(driveAt(t, "/home"), nullptr);   // an ordinary folder of C:
    EXPECT_EQ(t.logicalDriveMask(), 0b1111100u);
}

TEST(DriveTable, TypesByFileSystemAndDevice) {
    const DriveTable t = DriveTable::fromMounts(
        {mount("/", "btrfs", 0, 30), mount("/mnt/a", "iso9660"), mount("/mnt/b", "udf"),
         mount("/mnt/c", "nfs4"), mount("/mnt/d", "cifs"), mount("/mnt/e", "fuse.sshfs"),
         mount("/mnt/f", "tmpfs"), mount("/mnt/g", "ramfs"), mount("/mnt/h", "ext4", 8, 1),
         mount("/mnt/i", "ext4", 8, 2)},
        [](unsigned, unsigned minor) { return minor == 1; });
    EXPECT_EQ(t.driveType('C'), DRIVE_FIXED);
    EXPECT_EQ(t.driveType('D'), DRIVE_CDROM);
    EXPECT_EQ(t.driveType('E'), DRIVE_CDROM);
    EXPECT_EQ(t.driveType('F'), DRIVE_REMOTE);
    EXPECT_EQ(t.driveType('G'), DRIVE_REMOTE);
    EXPECT_EQ(t.driveType('H'), DRIVE_REMOTE);
    EXPECT_EQ(t.driveType('I'), DRIVE_RAMDISK);
    EXPECT_EQ(t.driveType('j'), DRIVE_RAMDISK);
    EXPECT_EQ(t.driveType('K'), DRIVE_REMOVABLE);
    EXPECT_EQ(t.driveType('L'), DRIVE_FIXED);
    EXPECT_EQ(t.driveType('M'), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(t.driveType('A'), DRIVE_NO_ROOT_DIR);
}

TEST(DriveTable, LaterMountOnSamePointWins) {
    const DriveTable t = DriveTable::fromMounts(
        {mount("/", "ext4"), mount("/mnt/x", "ext4", 8, 1), mount("/mnt/x/", "iso9660"),
         mount("/mnt/y", "ext4"), mount("/mnt/y", "autofs")});
    ASSERT_EQ(t.drives().size(), 2u);
    EXPECT_EQ(t.driveType('D'), DRIVE_CDROM);
    EXPECT_TRUE(t.isHiddenMountPoint("/mnt/y"));   // now a pseudo file system
}

TEST(DriveTable, LettersStopAtZ) {
    std::vector<MountEntry> mounts{mount("/", "ext4")};
    for (int i = 0; i < 30; ++i) mounts.push_back(mount("/mnt/d" + std::to_string(100 + i), "ext4"));
    const DriveTable t = DriveTable::fromMounts(mounts);
    EXPECT_EQ(t.drives().back().letter, 'Z');
    EXPECT_EQ(t.drives().size(), 24u);
    // The file systems left without a letter stay reachable through the drive above them.
    EXPECT_FALSE(t.isHiddenMountPoint("/mnt/d129"));
    EXPECT_EQ(t.toWindows("/mnt/d129/f").value_or("?"), "C:\\mnt\\d129\\f");
}

TEST(DriveTable, HiddenMountPoints) {
    const DriveTable t = sampleTable();
    EXPECT_TRUE(t.isHiddenMountPoint("/proc"));
    EXPECT_TRUE(t.isHiddenMountPoint("/sys/kernel/debug"));
    EXPECT_TRUE(t.isHiddenMountPoint("/media/usb"));
    EXPECT_TRUE(t.isHiddenMountPoint("/media/usb/inner"));
    EXPECT_FALSE(t.isHiddenMountPoint("/home"));
    EXPECT_FALSE(t.isHiddenMountPoint("/"));
    EXPECT_FALSE(t.isHiddenMountPoint("/media"));

    // Trash folders are no mount points: listings show them (the walk leaves them out).
    auto root = unlistedNamesIn(t, "/");
    std::sort(root.begin(), root.end());
    EXPECT_EQ(root, (std::vector<std::string>{"proc", "sys"}));
    EXPECT_EQ(unlistedNamesIn(t, "/media"), std::vector<std::string>{"usb"});
    EXPECT_EQ(unlistedNamesIn(t, "/media/usb/"), std::vector<std::string>{"inner"});
    EXPECT_TRUE(unlistedNamesIn(t, "/home").empty());
    EXPECT_TRUE(unlistedNamesIn(t, "/run/media").empty());   // "ann" is a folder, not a mount
}

TEST(DriveTable, WindowsToPosix) {
    const DriveTable t = sampleTable();
    EXPECT_EQ(t.toPosix("C:").value_or("?"), "/");
    EXPECT_EQ(t.toPosix("C:\\").value_or("?"), "/");
    EXPECT_EQ(t.toPosix("C:\\a\\b").value_or("?"), "/a/b");
    EXPECT_EQ(t.toPosix("C:\\a\\b\\").value_or("?"), "/a/b");
    EXPECT_EQ(t.toPosix("D:").value_or("?"), "/media/usb");
    EXPECT_EQ(t.toPosix("d:\\x\\\xc3\xa9t\xc3\xa9 1").value_or("?"), "/media/usb/x/\xc3\xa9t\xc3\xa9 1");
    // ".." never climbs out of the drive.
    EXPECT_EQ(t.toPosix("D:\\x\\..\\..\\..\\etc").value_or("?"), "/media/usb/etc");
    EXPECT_FALSE(t.toPosix("Q:\\a"));
    EXPECT_FALSE(t.toPosix("Q:"));
    EXPECT_FALSE(t.toPosix("C:a"));
    EXPECT_FALSE(t.toPosix("\\a"));
    EXPECT_FALSE(t.toPosix(""));
    EXPECT_FALSE(t.toPosix(std::string("C:\\a\0b", 6)));
}

TEST(DriveTable, PosixToWindows) {
    const DriveTable t = sampleTable();
    EXPECT_EQ(t.toWindows("/").value_or("?"), "C:\\");
    EXPECT_EQ(t.toWindows("/tmp").value_or("?"), "C:\\tmp");
    EXPECT_EQ(t.toWindows("/tmp//x/").value_or("?"), "C:\\tmp\\x");
    EXPECT_EQ(t.toWindows("/media/usb").value_or("?"), "D:\\");
    EXPECT_EQ(t.toWindows("/media/usb/a b/c").value_or("?"), "D:\\a b\\c");
    EXPECT_EQ(t.toWindows("/media/usb/inner/z").value_or("?"), "E:\\z");
    // A common prefix that stops inside a name is not the drive.
    EXPECT_EQ(t.toWindows("/media/usbstick").value_or("?"), "C:\\media\\usbstick");
    EXPECT_FALSE(t.toWindows("relative/path"));
    EXPECT_FALSE(t.toWindows("/tmp/back\\slash"));
    // Both ways give back the same path.
    for (const char* p : {"/", "/home/ann", "/media/usb/inner", "/run/media/ann/DVD/x/y"})
        EXPECT_EQ(t.toPosix(t.toWindows(p).value()).value_or("?"), p);
}

TEST(DriveTable, CurrentTableServesTheSystemCalls) {
    const DriveTable sample = sampleTable();
    EXPECT_EQ(GetLogicalDrives(sample), 0b1111100u);
    EXPECT_EQ(GetDriveTypeA(sample, "C:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA(sample, "D:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(GetDriveTypeA(sample, "G:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA(sample, "Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA(sample, "\\\\"), DRIVE_NO_ROOT_DIR);

    // The process's own table always has C: as the root of the file tree.
    const DriveTable bare = DriveTable::fromMounts(parseMountInfo(""));
    EXPECT_EQ(GetLogicalDrives(bare), 1u << 2);
    EXPECT_EQ(bare.toPosix("C:\\etc").value_or("?"), "/etc");
}
