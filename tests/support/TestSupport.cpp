#include "support/TestSupport.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "platform/Shell.h"

namespace fs = std::filesystem;

namespace parelix::test {

TempDir::TempDir() {
    std::string base = fs::temp_directory_path().string() + "/parelix-test-XXXXXX";
    if (!mkdtemp(base.data())) throw std::runtime_error("mkdtemp failed");
    path_ = base;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& relative, const std::string& content) const {
    fs::path p = fs::path(path_) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return p.string();
}

std::string TempDir::mkdir(const std::string& relative) const {
    fs::path p = fs::path(path_) / relative;
    fs::create_directories(p);
    return p.string();
}

EnvVariable::EnvVariable(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value) setenv(name_.c_str(), value, 1);
    else unsetenv(name_.c_str());
}

EnvVariable::~EnvVariable() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1);
    else unsetenv(name_.c_str());
}

ScopedMount ScopedMount::bind(const std::string& source, const std::string& target) {
    ScopedMount m;
    if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0) m.target_ = target;
    else m.why_ = "bind mount refused: " + std::string(std::strerror(errno));
    return m;
}

ScopedMount ScopedMount::tmpfs(const std::string& target, const std::string& size) {
    ScopedMount m;
    const std::string options = "size=" + size;
    if (::mount("tmpfs", target.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) m.target_ = target;
    else m.why_ = "tmpfs mount refused: " + std::string(std::strerror(errno));
    return m;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept : target_(std::move(other.target_)), why_(std::move(other.why_)) {
    other.target_.clear();
}

ScopedMount::~ScopedMount() {
    if (target_.empty()) return;
    // A busy mount is detached all the same, so that removing the test's folders never
    // walks into it.
    if (::umount2(target_.c_str(), 0) != 0) ::umount2(target_.c_str(), MNT_DETACH);
}

PrivateTrash::PrivateTrash() {
    base_ = (fs::temp_directory_path() / "parelix-trash-XXXXXX").string();
    if (!mkdtemp(base_.data())) std::abort();
    fs::create_directories(base_ + "/data");
    setenv("XDG_DATA_HOME", (base_ + "/data").c_str(), 1);
    setenv("HOME", base_.c_str(), 1);
}

PrivateTrash::~PrivateTrash() {
    std::error_code ec;
    fs::remove_all(base_, ec);
}

bool PrivateTrash::holds(const std::string& name) const {
    return fs::exists(fs::path(files()) / name) && fs::exists(fs::path(info()) / (name + ".trashinfo"));
}

void RecordingServices::forget() {
    shown.clear();
    answer = true;
    onQuestion = nullptr;
    questions.clear();
    launchWorks = true;
    launched.clear();
    versionAnswer.reset();
    saveDialogs.clear();
    savePath.reset();
    readCall = &::read;
}

std::vector<std::string> RecordingServices::errors() const {
    std::vector<std::string> texts;
    for (const Shown& box : shown)
        if (box.kind == MessageKind::Error) texts.push_back(box.text);
    return texts;
}

}  // namespace parelix::test
