#pragma once
// Helpers shared by the test executables.
#include <string>

namespace parelix::test {

// A fresh folder under the system temporary directory, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }   // POSIX path, no trailing slash
    // Writes a file (creating parent folders) and returns its POSIX path.
    std::string write(const std::string& relative, const std::string& content) const;
    std::string mkdir(const std::string& relative) const;
private:
    std::string path_;
};

// Creates the QApplication on first use (widget tests run under QT_QPA_PLATFORM=offscreen).
void ensureApplication();

}  // namespace parelix::test
