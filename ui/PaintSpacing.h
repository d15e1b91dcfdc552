#pragma once
// Spaces a window's pictures while it lasts: the window paints at most every spacingMs,
// however often its controls change. A search run changes the status bar, the progress bar,
// the log and the result trees between event turns that come every few milliseconds, and
// each picture costs a flush to the display server (a round trip on X11) and, for the
// progress bar, a wake-up of the threads Qt draws on: painting them at every turn cost the
// run more than its own work on a busy machine. What changed is painted all the same, with
// the next picture: one that was held back is painted when its time comes, and at the
// latest once the spacing ends. Input and timers are handled as before.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace parelix {

class PaintSpacing : public QObject {
public:
    PaintSpacing(QWidget* window, int spacingMs);
    ~PaintSpacing() override;
    PaintSpacing(const PaintSpacing&) = delete;
    PaintSpacing& operator=(const PaintSpacing&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintNow();

    QWidget* window_;
    int spacingMs_;
    QElapsedTimer sincePaint_;
    QTimer heldPaint_;   // runs while a picture waits for its time
};

}  // namespace parelix
