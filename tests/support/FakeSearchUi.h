#pragma once
// A window stand-in for engine tests: records what the search run shows.
#include <functional>
#include <string>
#include <vector>

#include "engine/SearchUi.h"

namespace parelix::test {

class FakeSearchUi : public SearchUi {
public:
    std::vector<std::string> log;
    std::string statusText;
    bool panelMode = false;
    std::string panelText[2];
    int panelWidth[2] = {313, 50};
    int width = 640;
    bool progressVisible = false;
    int progressMax = 100;
    int progressPosition = 0;
    std::vector<int> progressPositions;
    int processEventsCalls = 0;
    std::string stopCaption;
    bool resultsMode = false;
    bool popupEnabled = false;
    bool dirListFocused = false;
    // Runs inside processEvents, as a click would during the event loop's turn.
    std::function<void()> onProcessEvents;

    void appendLog(const std::string& line) override { log.push_back(line); processEvents(); }
    void clearLog() override { log.clear(); }
    void setStatusText(const std::string& text) override { statusText = text; }
    void setStatusPanelMode(bool panels) override { panelMode = panels; }
    void setStatusPanelText(int panel, const std::string& text) override { panelText[panel] = text; }
    void setStatusPanelWidth(int panel, int w) override { panelWidth[panel] = w; }
    int clientWidth() const override { return width; }
    void setProgressVisible(bool visible) override { progressVisible = visible; }
    void setProgressMax(int max) override { progressMax = max; }
    void setProgressPosition(int position) override {
        progressPosition = position;
        progressPositions.push_back(position);
    }
    void processEvents() override {
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents();
    }
    void setStopCaption(const std::string& caption) override { stopCaption = caption; }
    void showResultsMode() override { resultsMode = true; }
    void enablePopupMenu() override { popupEnabled = true; }
    void focusDirList() override { dirListFocused = true; }
};

}  // namespace parelix::test
