#pragma once
// What a search run tells the window, as it happens. The window decides what that looks
// like (captions, panel widths, the progress bar, focus); tests and the headless scan tool
// give their own listeners.
#include <cstdint>
#include <string>

namespace parelix {

enum class SearchPhase { Collection, Sort, Comparison };

class SearchUi {
public:
    virtual ~SearchUi() = default;

    // A run begins: the previous run's log and result trees are gone.
    virtual void runStarted() = 0;
    // A phase begins, just after its first log line. files: the files collected so far (the
    // count the comparison's progress runs to).
    virtual void phaseStarted(SearchPhase phase, std::int64_t files) = 0;
    // A phase is over, also when Stop cut it short. files as above: after the collection, the
    // number of files found.
    virtual void phaseEnded(SearchPhase phase, std::int64_t files) = 0;
    // A line of the operations log. The listener shows it at once: for the window, with an
    // event turn.
    virtual void logLine(const std::string& line) = 0;

    // Collection: the folder being walked; one search path's subtree is complete.
    virtual void folderEntered(const std::string& path) = 0;
    virtual void searchPathWalked() {}
    // Comparison: files done so far, out of the phase's count; about once per hundredth.
    virtual void progress(std::int64_t filesDone) = 0;
    // Comparison: the names of the pair being compared; second is empty while the files of a
    // size class are read one by one.
    virtual void pairCompared(const std::string& first, const std::string& second) = 0;

    // The run lets the window handle pending events (paint, clicks, Stop) here.
    virtual void eventTurn() = 0;

    // The trees are complete and the first searched folder is selected; "Fini !" follows.
    virtual void resultsReady() = 0;
    // The run's last line is shown. Not told when an error or the program's end cut it short.
    virtual void runEnded() = 0;
};

}  // namespace parelix
