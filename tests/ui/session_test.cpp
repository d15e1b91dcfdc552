// Randomized sessions through the main window: a generated tree is searched, then a person
// browses and deletes at random (selections in both trees, previous and next duplicate,
// expand and collapse all, double clicks, trash clicks answered yes or no, drops, the
// folder's duplicates, a new search with clicks while it runs), some steps through the
// handlers and some through mouse events; and during a deletion, another program removes or
// changes the other copies while the person clicks Stop, Cherche, rows and keys. After every
// step the trees, the disk, the recycle bin and the files outside the search must agree, and
// no duplicate sent away as such took its last copy with it. The recycle bin lies inside a
// searched folder and holds copies: no tree shows them, and none counts as a copy left.
//
// CI plays fixed seeds. A longer session with any seed (PARELIX_SESSION_DEBUG=1 names the steps):
//   PARELIX_SESSION_SEED=1234 PARELIX_SESSION_STEPS=3000 build/tests/ui_session_test
#include <gtest/gtest.h>

#include <cstdlib>

#include "random_session.h"

namespace parelix {
namespace {

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

using session::RandomSession;

class SessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureProgramApplication(); }
};

TEST_F(SessionTest, RandomBrowsingAndDeletionKeepTreesDiskAndRecycleBinInStep) {
    std::vector<std::uint64_t> seeds{1, 2, 3};
    int steps = 120;
    if (const char* seed = std::getenv("PARELIX_SESSION_SEED")) seeds = {std::strtoull(seed, nullptr, 10)};
    if (const char* n = std::getenv("PARELIX_SESSION_STEPS")) steps = std::atoi(n);
    for (std::uint64_t seed : seeds) {
        SCOPED_TRACE("PARELIX_SESSION_SEED=" + std::to_string(seed));
        RandomSession(seed, trash).play(steps);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace parelix
