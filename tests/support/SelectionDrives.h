#pragma once
// Scratch drives for the selection tests: folders below /mnt (where the drive table letters
// mount points) as drives D:, E:, ... of a mount table of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace parelix::test {

class MntDir {
public:
    MntDir() {
        std::filesystem::create_directories("/mnt");
        std::string t = "/mnt/parelix-selection-XXXXXX";
        if (!mkdtemp(t.data())) throw std::runtime_error("mkdtemp under /mnt failed");
        path_ = t;
    }
    ~MntDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    MntDir(const MntDir&) = delete;
    MntDir& operator=(const MntDir&) = delete;
    const std::string& path() const { return path_; }
    std::string mkdir(const std::string& relative) const {
        std::filesystem::create_directories(path_ + "/" + relative);
        return path_ + "/" + relative;
    }

private:
    std::string path_;
};

inline bool noRemovable(unsigned, unsigned) { return false; }

// C: is "/", then one drive per folder, lettered from D: in mount-point order.
inline DriveTable scratchDrives(const std::vector<std::string>& points) {
    std::vector<MountEntry> mounts{{"/", "ext4", "/dev/root", 8, 1}};
    unsigned minor = 16;
    for (const auto& p : points) mounts.push_back({p, "ext4", "/dev/sdx", 8, minor++});
    return DriveTable::fromMounts(mounts, noRemovable);
}

inline void writeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

}  // namespace parelix::test
