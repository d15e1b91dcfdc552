// The window's side of a search run: start, stop, close query and the engine's end.
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QTreeView>

#include <utility>
#include <vector>

#include "ui/EcrPrin.h"
#include "ui/ResultsGlue.h"
#include "ui/ResultsPage.h"
#include "ui/SelectionPage.h"
#include "ui/TreeModel.h"

namespace parelix {

namespace {

// While the run fills the result trees, their views take the additions in batches; the
// last batch is handed over when the run ends, also by an exception. Meanwhile a view fits
// its column to the rows on screen only: fitting it to a thousand rows at every event turn
// shapes their texts again and again, and costs the run a third of its time on a tree of
// many groups. The whole fit comes back with the last batch.
class BatchedViews {
public:
    BatchedViews(std::initializer_list<std::pair<TreeModel*, QTreeView*>> views) : views_(views) {
        for (auto [model, view] : views_) {
            model->setDeferred(true);
            precision_.push_back(view->header()->resizeContentsPrecision());
            view->header()->setResizeContentsPrecision(0);
        }
    }
    ~BatchedViews() {
        for (std::size_t i = 0; i < views_.size(); ++i) {
            auto [model, view] = views_[i];
            view->header()->setResizeContentsPrecision(precision_[i]);
            model->setDeferred(false);
        }
    }
    BatchedViews(const BatchedViews&) = delete;
    BatchedViews& operator=(const BatchedViews&) = delete;
private:
    std::vector<std::pair<TreeModel*, QTreeView*>> views_;
    std::vector<int> precision_;
};

}  // namespace

void T_EcrPrin::BtnChercheClick() {
    // Stop in its third role can bring the selection page back while a run still sorts or
    // compares; a second run inside it would clear the trees under the first one's feet.
    if (engine_->runState().inRun() || deleting()) return;
    {
        runPickView_ = nullptr;
        runPickNode_ = kNoNode;
        BatchedViews batched({{resultsPage_->dirModel(), resultsPage_->dirList()},
                              {resultsPage_->dblModel(), resultsPage_->dblList()}});
        try {
            engine_->searchRun(searchPaths());
        } catch (const std::exception&) {
            if (!signalled_) throw;   // the program is ending: no message box to hold it up
        }
    }
    // A signal came during the run, which has now unwound.
    if (signalled_) endProgram();
}

void T_EcrPrin::notePick(QTreeView* view, NodeId node) {
    if (!engine_->runState().inRun()) return;
    runPickView_ = view;
    runPickNode_ = node;
}

// The run has just selected the first root: DirList takes the focus. Rows show while the
// run goes on, and a node the user clicked (or reached by key) in either tree meanwhile
// keeps the selection and the focus: the run's choice must not undo a click that came a
// moment before "Fini !".
void T_EcrPrin::resultsReady() {
    QTreeView* view = runPickView_;
    const NodeId node = runPickNode_;
    runPickView_ = nullptr;
    runPickNode_ = kNoNode;
    QTreeView* dirList = resultsPage_->dirList();
    QTreeView* dblList = resultsPage_->dblList();
    TreeStore* store = view == dirList ? &trees_.dirList : view == dblList ? &trees_.dblList : nullptr;
    if (!store || !store->isValid(node)) {
        dirList->setFocus();
        return;
    }
    // The run's choice moved the other tree's selection and the status bar: the pick's
    // change handling puts them back.
    if (store->selected() != node) store->select(node);
    else if (view == dirList) DirListChange(node);
    else DblListChange(node);
    view->setFocus();
}

void T_EcrPrin::BtnStopRtnClick() {
    if (deleting()) return;   // a deletion is one act: no run stops inside it
    if (engine_->stop() != SearchEngine::StopRole::Idle) return;
    // Third role: back to the selection, from where BtnRevoir returns to these results.
    selectionPage_->showBtnRevoir();
    showSelectionPage();
}

bool T_EcrPrin::FormCloseQuery() {
    if (deleting() && !signalled_) {
        closePending_ = true;   // once the deletion has ended
        return false;
    }
    return engine_->canClose();
}

bool T_EcrPrin::deleting() const { return results_ && results_->deleting(); }

void T_EcrPrin::deletionEnded() {
    // The deletion's handler is still on the stack: what waited runs once it has returned.
    if (signalled_) {
        QMetaObject::invokeMethod(this, [this] { endProgram(); }, Qt::QueuedConnection);
    } else if (closePending_) {
        closePending_ = false;
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    }
}

void T_EcrPrin::quitBySignal() {
    signalled_ = true;
    engine_->abandonRun();
    // The run is somewhere below this handler, in one of its event turns: it ends the
    // program itself once it has unwound.
    if (engine_->runState().inRun()) return;
    if (deleting()) {
        // A check stops at its next chunk and a walk goes no further; a question or a box
        // the deletion shows is closed unanswered. The end comes once it has unwound.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) modal->close();
        return;
    }
    endProgram();
}

void T_EcrPrin::endProgram() {
    // As BtnQuitte: the close query, which the cleared flags now pass; the loop then ends
    // (also a modal dialog's, and whatever else is open), and the window's destruction
    // deletes the work files.
    close();
    QCoreApplication::exit(0);
}

void T_EcrPrin::FormDestroy() {
    engineStarted_ = false;
    engine_->shutdown();
}

}  // namespace parelix
