#pragma once
// A window stand-in for engine tests: records what the search run tells. And a fixture of a
// search engine over it, with a folder to walk.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/SearchEngine.h"
#include "platform/Services.h"
#include "engine/SearchUi.h"
#include "results/ResultTrees.h"
#include "support/TestSupport.h"

namespace parelix::test {

class FakeSearchUi : public SearchUi {
public:
    std::vector<std::string> log;
    // "+Collection", "-Collection 12", ...: each phase's start, and its end with its file count.
    std::vector<std::string> phases;
    std::int64_t comparisonFiles = -1;   // the count the comparison's progress runs to
    std::string folder;                // the last folder entered
    std::string pair[2];               // the last pair compared
    std::vector<std::int64_t> progressPositions;
    int eventTurns = 0;
    bool started = false;
    bool resultsShown = false;         // resultsReady came
    bool ended = false;
    // Runs inside each event turn, as a click would during the event loop's turn.
    std::function<void()> onEventTurn;

    static std::string phaseName(SearchPhase phase) {
        switch (phase) {
        case SearchPhase::Collection: return "Collection";
        case SearchPhase::Sort: return "Sort";
        case SearchPhase::Comparison: return "Comparison";
        }
        return "?";
    }
    // The phase under way: started and not ended ("" when none).
    std::string currentPhase() const {
        if (phases.empty() || phases.back()[0] != '+') return {};
        return phases.back().substr(1);
    }

    void runStarted() override {
        started = true;
        log.clear();
    }
    void phaseStarted(SearchPhase phase, std::int64_t files) override {
        phases.push_back("+" + phaseName(phase));
        if (phase == SearchPhase::Comparison) comparisonFiles = files;
    }
    void phaseEnded(SearchPhase phase, std::int64_t files) override {
        phases.push_back("-" + phaseName(phase) + " " + std::to_string(files));
    }
    void logLine(const std::string& line) override {
        log.push_back(line);
        eventTurn();
    }
    void folderEntered(const std::string& path) override { folder = path; }
    void progress(std::int64_t filesDone) override { progressPositions.push_back(filesDone); }
    void pairCompared(const std::string& first, const std::string& second) override {
        pair[0] = first;
        pair[1] = second;
    }
    void eventTurn() override {
        ++eventTurns;
        if (onEventTurn) onEventTurn();
    }
    void resultsReady() override { resultsShown = true; }
    void runEnded() override { ended = true; }
};

// A search engine over the stand-in, its work files in a folder of the test's own, and a
// folder to walk elsewhere. The engine is not started.
class SearchEngineTest : public ::testing::Test {
protected:
    TempDir work_;   // holds the work files, outside the walked tree
    TempDir tree_;
    TmpDirVariable tmpDir_{work_.path().c_str()};   // after the folders, made under the old one
    FakeSearchUi ui_;
    ResultTrees trees_;
    PlatformServices services_;   // this process's drives
    SearchEngine engine_{trees_, ui_, services_};
};

}  // namespace parelix::test
