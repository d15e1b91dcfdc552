#pragma once
// Drive letters over the POSIX file tree, and the mapping of Windows-style paths.
//
// C: is "/". Every file system mounted at or below /media, /run/media or /mnt takes the
// next free letter from D: on, in mount-point order, and is not listed inside C:.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parelix {

enum DriveType : unsigned {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// One line of /proc/self/mountinfo, octal escapes decoded.
struct MountEntry {
    std::string mountPoint;
    std::string fsType;
    std::string source;
    unsigned major = 0;
    unsigned minor = 0;
};

std::vector<MountEntry> parseMountInfo(std::string_view text);

struct Drive {
    char letter = 'C';
    std::string mountPoint;   // POSIX, no trailing slash except for "/"
    unsigned type = DRIVE_FIXED;
};

class DriveTable {
public:
    // removableOf tells, for a device number, whether its block device is removable;
    // left empty it reads /sys/dev/block/<major>:<minor>/.../removable.
    static DriveTable fromMounts(const std::vector<MountEntry>& mounts,
                                 std::function<bool(unsigned major, unsigned minor)> removableOf = {});

    // The table of this process, read from /proc/self/mountinfo at first use: what
    // PlatformServices takes unless it is given another.
    static const DriveTable& current();

    const std::vector<Drive>& drives() const { return drives_; }
    std::uint32_t logicalDriveMask() const;
    unsigned driveType(char letter) const;   // DRIVE_NO_ROOT_DIR for a letter not in use

    // "X:", "X:\" and "X:\a\b" to a POSIX path; nullopt for an unknown drive or a bad path.
    std::optional<std::string> toPosix(std::string_view windowsPath) const;
    // A POSIX path to the Windows-style path of the drive that holds it.
    std::optional<std::string> toWindows(std::string_view posixPath) const;
    // True when this POSIX directory must not be listed: the mount point of another
    // drive, or of a pseudo file system.
    bool isHiddenMountPoint(std::string_view posixPath) const;
    // Those mount points, sorted (NeverSearched.h says why they are never listed).
    const std::vector<std::string>& hiddenMountPoints() const { return hiddenMountPoints_; }

private:
    std::vector<Drive> drives_;
    std::vector<std::string> hiddenMountPoints_;   // sorted
};

std::uint32_t GetLogicalDrives(const DriveTable& drives);
unsigned GetDriveTypeA(const DriveTable& drives, std::string_view root);   // root such as "D:\"

}  // namespace parelix
