#pragma once
// Helpers shared by the test executables.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"

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

// Sets an environment variable (nullptr: unsets it) while it lives, and puts the old value back.
class EnvVariable {
public:
    EnvVariable(std::string name, const char* value);
    ~EnvVariable();
    EnvVariable(const EnvVariable&) = delete;
    EnvVariable& operator=(const EnvVariable&) = delete;
private:
    std::string name_;
    std::optional<std::string> old_;
};

class TmpDirVariable : public EnvVariable {
public:
    explicit TmpDirVariable(const char* value) : EnvVariable("TMPDIR", value) {}
};

// A mount made for one test (tests run as root): a bind mount or a tmpfs, undone at
// destruction whatever the test's outcome. Declare it after the folders it uses, so that it
// goes first. Where the system refuses the mount, ok() is false and why() says so.
class ScopedMount {
public:
    static ScopedMount bind(const std::string& source, const std::string& target);
    static ScopedMount tmpfs(const std::string& target, const std::string& size);   // "256k"
    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();
    bool ok() const { return !target_.empty(); }
    const std::string& why() const { return why_; }
private:
    ScopedMount() = default;
    std::string target_;   // empty: nothing mounted
    std::string why_;
};

}  // namespace parelix::test

namespace parelix::test {

// A private recycle bin: XDG_DATA_HOME and HOME point into a fresh temporary folder, on the
// file system of the test folders so that the home trash takes their files. GLib reads
// XDG_DATA_HOME once, at its first use: make one as a global of the test file, before any
// test runs.
class PrivateTrash {
public:
    PrivateTrash();
    ~PrivateTrash();
    PrivateTrash(const PrivateTrash&) = delete;
    PrivateTrash& operator=(const PrivateTrash&) = delete;
    const std::string& base() const { return base_; }
    std::string files() const { return base_ + "/data/Trash/files"; }
    std::string info() const { return base_ + "/data/Trash/info"; }
    // The name lies in the trash with its .trashinfo.
    bool holds(const std::string& name) const;
private:
    std::string base_;
};

struct Shown {
    std::string text;
    std::string caption;
    MessageKind kind;
};

// The system services of a test: message boxes recorded, not shown; the trash question
// recorded and answered `answer` (or by onQuestion); launches recorded and succeeding while
// `launchWorks`; the save dialog answering `savePath`; the system's version `versionAnswer`
// where one is given. The drive table and the read call are the process's unless the test
// gives its own.
class RecordingServices : public ShellServices {
public:
    using ShellServices::ShellServices;

    std::vector<Shown> shown;
    bool answer = true;
    std::function<bool(const std::string& question)> onQuestion;
    std::vector<std::string> questions;
    bool launchWorks = true;
    std::vector<std::string> launched;
    std::optional<OsVersionInfo> versionAnswer;
    // The save dialog: the captions it was opened with, and the path it answers (none: cancelled).
    std::vector<std::string> saveDialogs;
    std::optional<std::string> savePath;

    // The texts of the error boxes shown so far.
    std::vector<std::string> errors() const;
    // Back to no records and the answers above, the process's read call.
    void forget();

    void showMessage(const std::string& text, const std::string& caption = {},
                     MessageKind kind = MessageKind::Plain) override {
        shown.push_back({text, caption, kind});
    }
    bool confirmDeletion(const std::string& question) override {
        questions.push_back(question);
        return onQuestion ? onQuestion(question) : answer;
    }
    // The question before a walk, recorded beside the others and answered the same way.
    bool confirmWalk(const std::string& question) override { return confirmDeletion(question); }
    bool launch(const std::string& posixPath) override {
        launched.push_back(posixPath);
        return launchWorks;
    }
    std::optional<std::string> askSavePath(const std::string& caption, const std::string&) override {
        saveDialogs.push_back(caption);
        return savePath;
    }
    bool version(OsVersionInfo& info) override {
        if (!versionAnswer) return PlatformServices::version(info);
        info = *versionAnswer;
        return true;
    }
};

}  // namespace parelix::test
