#pragma once
// What "a run is active" means, in one place: the search run and its phases as the Stop
// button, the close query, the window and the deletions see them.
namespace parelix {

class RunState {
public:
    enum class StopRole { StoppedCollection, StoppedComparison, Idle };

    // A search run is under way, from its start until it has returned or unwound: its event
    // turns must not start a second one.
    bool inRun() const { return inRun_; }
    // From the run's first log line until just before its last ("Fini !" or "Aucun fichier à
    // traiter !"), the sort included: the trees are being built and the work files name
    // their nodes. Cleared too when an error ends the run.
    bool running() const { return running_; }
    bool collecting() const { return collecting_; }
    bool comparing() const { return comparing_; }
    // A run or one of its phases is building the result trees: nothing may remove a node.
    bool active() const { return running_ || collecting_ || comparing_; }
    // The window may close only while neither phase flag is set (the sort ends on its own).
    bool canClose() const { return !collecting_ && !comparing_; }
    // The program is ending: no phase goes on and no run starts again.
    bool abandoned() const { return abandoned_; }

    // The phases set and clear their own flag. An input/output error leaves it set, so the
    // window stays open on the error.
    void beginCollection() { collecting_ = true; }
    void endCollection() { collecting_ = false; }
    void beginComparison() { comparing_ = true; }
    void endComparison() { comparing_ = false; }

    // The run's last log line follows: its trees are complete.
    void treesBuilt() { running_ = false; }

    // Stop button: clears the collecting flag, else the comparing flag; Idle when neither
    // was set.
    StopRole stop() {
        if (collecting_) {
            collecting_ = false;
            return StopRole::StoppedCollection;
        }
        if (comparing_) {
            comparing_ = false;
            return StopRole::StoppedComparison;
        }
        return StopRole::Idle;
    }
    // For good: the phase under way stops and the window may close.
    void abandon() {
        abandoned_ = true;
        collecting_ = false;
        comparing_ = false;
    }

    // Marks the run under way for its scope, also when an error unwinds it.
    class RunScope {
    public:
        explicit RunScope(RunState& state) : state_(state) { state_.inRun_ = state_.running_ = true; }
        ~RunScope() { state_.inRun_ = state_.running_ = false; }
        RunScope(const RunScope&) = delete;
        RunScope& operator=(const RunScope&) = delete;

    private:
        RunState& state_;
    };

private:
    bool inRun_ = false;
    bool running_ = false;
    bool collecting_ = false;
    bool comparing_ = false;
    bool abandoned_ = false;
};

}  // namespace parelix
