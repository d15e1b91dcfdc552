#pragma once
// A session without a window over a fresh folder of files, for the session tests: its
// temporary files in a folder of their own, a recording window and recording system
// services; attached and started before each test, let go after.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Drives.h"
#include "session/Session.h"
#include "support/FakeSessionView.h"
#include "support/TestSupport.h"

namespace parelix::test {

class SessionFixture : public ::testing::Test {
protected:
    // The files of the folder searched, by relative path, with their contents.
    using Files = std::vector<std::pair<std::string, std::string>>;
    explicit SessionFixture(Files files) : files_(std::move(files)) {}

    void SetUp() override {
        for (const auto& [relative, content] : files_) tree_.write(relative, content);
        root_ = DriveTable::current().toWindows(tree_.path()).value_or("");
        ASSERT_FALSE(root_.empty());
        session_.attach(&view_);
        session_.start();
    }
    void TearDown() override { session_.attach(nullptr); }

    Files files_;
    TempDir work_;
    TempDir tree_;
    TmpDirVariable tmpDir_{work_.path().c_str()};
    FakeSessionView view_;
    RecordingServices services_;
    Session session_{services_};
    std::string root_;   // the folder searched, as the program names it
};

}  // namespace parelix::test
