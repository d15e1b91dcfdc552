#pragma once
// What browsing and deletion (results/) see of the window: the focused tree, the trees'
// highlights, the status bar, the log, the cursor, the update lock and the shell. It also
// watches the result trees' mouse events that their views do not signal: double clicks
// beside the nodes, a press on the row already current, and a drag of DirList's selected
// node that starts away from any node.
#include <QObject>
#include <QPoint>

#include "results/Browsing.h"
#include "results/Deletion.h"

namespace parelix {

class ResultsPage;
class T_EcrPrin;

// While a deletion goes on, the clicks, keys, wheel turns and drags that reach the program
// are dropped, not kept for later, except those aimed at a dialog the deletion opened.
class InputDrop : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class ResultsGlue : public QObject, public ResultsWindow {
public:
    ResultsGlue(T_EcrPrin& window, ResultsPage& page);

    // The toolkit's drag threshold for trees, as the desktop it imitates had it.
    static constexpr int kDragThreshold = 5;

    Browsing browsing;
    Deletion deletion;

    TreeId focusedTree() const override;
    void setHideSelection(TreeId tree, bool hide) override;
    void setStatusText(const std::string& text) override;
    std::string statusText() const override;
    void appendLog(const std::string& line) override;
    void setWaitCursor(bool on) override;
    void lockWindowUpdate(bool on) override;
    bool searchActive() const override;
    unsigned driveType(const std::string& root) override;
    int fileOperation(SHFILEOPSTRUCTA& op) override;
    int shellExecute(const std::string& file, const std::string& directory, int show) override;
    void showMessage(const std::string& text, const std::string& caption, MessageKind kind) override;
    OtherCopy findOtherCopy(const std::string& file, const std::vector<std::string>& others) override;
    void deletionBegins() override;
    void deletionEnded() override;
    bool ending() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startDrag(NodeId node);

    T_EcrPrin& w_;
    ResultsPage& page_;
    InputDrop inputDrop_;
    QPoint pressPos_;
    bool pressedOnNode_ = false;
    bool armed_ = false;
    bool dragging_ = false;
};

}  // namespace parelix
