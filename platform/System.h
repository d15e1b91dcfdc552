#pragma once
// System services: version, temporary directory and names.
#include <cstdint>
#include <string>

namespace parelix {

struct OsVersionInfo {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;   // 1: Windows 95 family, 2: NT family
};

class DriveTable;

// The NT family with the running kernel's major version.
bool GetVersionExA(OsVersionInfo& info);

// $TMPDIR, else /tmp, as a Windows-style path ending with a backslash ("C:\tmp\") over
// the drive table. Empty when no such folder can be named.
std::string GetTempPathA(const DriveTable& drives);

// Creates, empty and exclusively, "<dir><prefix><4 hex digits>.tmp" and returns its
// Windows-style path; dir is a Windows-style folder path ending with a backslash.
// With unique != 0 the number is used as given and nothing is created. Empty on failure.
std::string GetTempFileNameA(const DriveTable& drives, const std::string& dir, const std::string& prefix,
                             unsigned unique);

// Raises the soft limit of open descriptors to the hard limit, as desktop programs do: a
// search opens a file for each reader at once and holds a few folders, and running out ends
// it with an error. Called once at start, before any thread.
void raiseDescriptorLimit();

}  // namespace parelix
