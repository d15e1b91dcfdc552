#pragma once
// A window stand-in for the session tests: records what the session shows and asks of its
// view, and runs a test's check inside each event turn, where a click would come.
#include <functional>
#include <string>
#include <vector>

#include "session/Session.h"

namespace parelix::test {

class FakeSessionView : public SessionView {
public:
    TreeId focus = TreeId::None;
    std::string status;
    std::vector<std::string> log;
    std::vector<std::string> calls;   // "hold on", "hold off", "close", "end", in call order
    std::function<void()> onEventTurn;
    std::function<void(SearchPhase)> onPhaseStarted;
    std::vector<std::string> figures;   // every text of the space figures, in order

    TreeId focusedTree() const override { return focus; }
    void setHideSelection(TreeId, bool) override {}
    void setStatusText(const std::string& text) override { status = text; }
    std::string statusText() const override { return status; }
    void appendLog(const std::string& line) override { log.push_back(line); }
    void setWaitCursor(bool) override {}
    void holdInput(bool on) override { calls.push_back(on ? "hold on" : "hold off"); }
    void closeSoon() override { calls.push_back("close"); }
    void endSoon() override { calls.push_back("end"); }
    void showSpaceFigures(const std::string& text) override { figures.push_back(text); }

    void runStarted() override { log.clear(); }
    void phaseStarted(SearchPhase phase, std::int64_t) override {
        if (onPhaseStarted) onPhaseStarted(phase);
    }
    void phaseEnded(SearchPhase, std::int64_t) override {}
    void logLine(const std::string& line) override {
        log.push_back(line);
        eventTurn();
    }
    void folderEntered(const std::string&) override {}
    void progress(std::int64_t) override {}
    void pairCompared(const std::string&, const std::string&) override {}
    void eventTurn() override {
        if (onEventTurn) onEventTurn();
    }
    void resultsReady() override {}
    void runEnded() override {}
};

}  // namespace parelix::test
