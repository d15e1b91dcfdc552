#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <regex>
#include <set>

#include "platform/Drives.h"
#include "platform/System.h"
#include "support/TestSupport.h"

using namespace parelix;
using parelix::test::TempDir;

namespace {

std::string windowsFolder(const std::string& posix) {
    return DriveTable::current().toWindows(posix).value() + "\\";
}

off_t sizeOf(const std::string& windowsName) {
    struct stat st;
    const auto posix = DriveTable::current().toPosix(windowsName);
    if (!posix || stat(posix->c_str(), &st) != 0) return -1;
    return st.st_size;
}

}  // namespace

TEST(TempPath, FromTmpdirOrTmp) {
    const DriveTable drives = DriveTable::fromMounts(parseMountInfo("1 0 8:1 / / rw - ext4 sda rw\n"));
    {
        test::TmpDirVariable v(nullptr);
        EXPECT_EQ(GetTempPathA(drives), "C:\\tmp\\");
    }
    {
        test::TmpDirVariable v("");
        EXPECT_EQ(GetTempPathA(drives), "C:\\tmp\\");
    }
    {
        test::TmpDirVariable v("/var/tmp/work/");
        EXPECT_EQ(GetTempPathA(drives), "C:\\var\\tmp\\work\\");
    }
    {
        test::TmpDirVariable v("/");
        EXPECT_EQ(GetTempPathA(drives), "C:\\");
    }
    {
        // Neither a relative folder nor one with a backslash in its name can be named.
        test::TmpDirVariable v("relative/dir");
        EXPECT_EQ(GetTempPathA(drives), "C:\\tmp\\");
        test::TmpDirVariable w("/tmp/a\\b");
        EXPECT_EQ(GetTempPathA(drives), "C:\\tmp\\");
    }
}

TEST(TempFileName, CreatesUniqueEmptyFiles) {
    TempDir dir;
    const std::string folder = windowsFolder(dir.path());
    const std::regex shape(std::regex_replace(folder, std::regex(R"([\\.^$|()\[\]{}*+?])"), R"(\$&)") +
                           "DBL[0-9A-F]{4}\\.tmp");
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        const std::string name = GetTempFileNameA(DriveTable::current(), folder, "DBL", 0);
        ASSERT_TRUE(std::regex_match(name, shape)) << name;
        EXPECT_EQ(sizeOf(name), 0) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);

    // Longer prefixes keep three characters; the folder may lack its backslash.
    std::string noSlash = folder;
    noSlash.pop_back();
    const std::string other = GetTempFileNameA(DriveTable::current(), noSlash, "ABCDEF", 0);
    EXPECT_EQ(other.substr(0, folder.size() + 3), folder + "ABC");
    EXPECT_EQ(sizeOf(other), 0);
}

TEST(TempFileName, GivenNumberAndFailures) {
    TempDir dir;
    const std::string folder = windowsFolder(dir.path());
    const std::string named = GetTempFileNameA(DriveTable::current(), folder, "DBL", 0x1a2b);
    EXPECT_EQ(named, folder + "DBL1A2B.tmp");
    EXPECT_EQ(sizeOf(named), -1);   // nothing created

    EXPECT_EQ(GetTempFileNameA(DriveTable::current(), windowsFolder(dir.path() + "/missing"), "DBL", 0), "");
    EXPECT_EQ(GetTempFileNameA(DriveTable::current(), "Q:\\", "DBL", 0), "");
    EXPECT_EQ(GetTempFileNameA(DriveTable::current(), "", "DBL", 0), "");
}

TEST(Version, TheRunningKernels) {
    OsVersionInfo info;
    ASSERT_TRUE(GetVersionExA(info));
    EXPECT_EQ(info.platformId, 2u);
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    EXPECT_EQ(info.majorVersion, static_cast<std::uint32_t>(std::atoi(u.release)));

}
