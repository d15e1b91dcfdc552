#pragma once
// A pane-resizing drag. Pressing the handle and moving starts a toolkit drag that carries
// the handle's name and nothing else; each target accepts or refuses it while the pointer
// moves over it, and an accepting target resizes its pane at once, so the pane follows the
// pointer. The drop does nothing. The drag object is a child of its handle.
#include <QObject>
#include <QPoint>
#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace parelix {

class PaneDrag : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kMimeType = "application/x-parelix-pane-handle";

    struct Steps {
        std::function<void(QPoint start)> begin;   // start: in the handle's coordinates
        // pos: the pointer in the target's coordinates. True: accepted (and resized).
        std::function<bool(QWidget* target, QPoint pos)> over;
        std::function<void()> end;
    };

    // splitHorizontally: the drag moves a vertical edge (left-right split cursor).
    PaneDrag(QWidget* handle, bool splitHorizontally, Steps steps);

    // A control the drag may move over. receiver: the widget that gets its drag events (an
    // item view's viewport); the target itself when null.
    void addTarget(QWidget* target, QWidget* receiver = nullptr);

    // The steps of the toolkit's drag, also for tests, which cannot run the drag's own loop.
    void begin(QPoint start) { steps_.begin(start); }
    void end() { steps_.end(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run(QPoint start);
    QWidget* targetOf(QObject* receiver) const;

    QWidget* handle_;
    bool horizontal_;
    Steps steps_;
    std::vector<std::pair<QWidget*, QWidget*>> targets_;   // receiver, target
    bool pressed_ = false;
    QPoint pressPos_;
};

}  // namespace parelix
