#pragma once
// What the search run needs of the window. The main window implements it; tests and the
// headless scan tool give their own.
#include <string>

namespace parelix {

class SearchUi {
public:
    virtual ~SearchUi() = default;
    // Operations log: adds a line and processes pending events once.
    virtual void appendLog(const std::string& line) = 0;
    virtual void clearLog() = 0;
    // Status bar.
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setStatusPanelMode(bool panels) = 0;
    virtual void setStatusPanelText(int panel, const std::string& text) = 0;
    virtual void setStatusPanelWidth(int panel, int width) = 0;
    virtual int clientWidth() const = 0;
    // Progress bar.
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressMax(int max) = 0;
    virtual void setProgressPosition(int position) = 0;
    // Window.
    virtual void processEvents() = 0;
    virtual void setStopCaption(const std::string& caption) = 0;
    virtual void showResultsMode() = 0;
    virtual void enablePopupMenu() = 0;       // automatic pop-up of DirList's context menu
    virtual void focusDirList() = 0;
    virtual void repaintDirList() {}
};

}  // namespace parelix
