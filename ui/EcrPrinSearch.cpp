// The window's side of a search run: start, stop, close query and the engine's end.
#include <QToolButton>
#include <QTreeView>

#include "ui/EcrPrin.h"
#include "ui/TreeModel.h"

namespace parelix {

namespace {

// While the run fills the result trees, their views take the additions in batches; the
// last batch is handed over when the run ends, also by an exception.
class BatchedViews {
public:
    BatchedViews(TreeModel* a, TreeModel* b) : a_(a), b_(b) {
        a_->setDeferred(true);
        b_->setDeferred(true);
    }
    ~BatchedViews() {
        a_->setDeferred(false);
        b_->setDeferred(false);
    }
    BatchedViews(const BatchedViews&) = delete;
    BatchedViews& operator=(const BatchedViews&) = delete;
private:
    TreeModel* a_;
    TreeModel* b_;
};

}  // namespace

void T_EcrPrin::BtnChercheClick() {
    // Stop in its third role can bring the selection page back while a run still sorts or
    // compares; a second run inside it would clear the trees under the first one's feet.
    if (searchRunning_) return;
    searchRunning_ = true;
    const struct RunEnd {
        bool& running;
        ~RunEnd() { running = false; }
    } runEnd{searchRunning_};
    BatchedViews batched(dirModel, dblModel);
    engine->searchRun(searchPaths());
}

void T_EcrPrin::BtnStopRtnClick() {
    if (engine->stop() != SearchEngine::StopRole::Idle) return;
    // Third role: back to the selection, from where BtnRevoir returns to these results.
    BtnRevoir->show();
    layoutButtonColumn();
    showSelectionPage();
}

bool T_EcrPrin::FormCloseQuery() { return engine->canClose(); }

void T_EcrPrin::FormDestroy() {
    engineStarted = false;
    engine->shutdown();
}

}  // namespace parelix
