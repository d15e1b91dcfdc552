#pragma once
// The trash picture of the results tool bar: a click, and a drop target whose accept and
// drop are decided by the window's handlers. It never takes the keyboard focus. While a drag
// it accepts hovers over it, it shows in the highlight's colour.
#include <QLabel>
#include <functional>

namespace parelix {

class TrashLabel : public QLabel {
    Q_OBJECT
public:
    explicit TrashLabel(QWidget* parent = nullptr);

    // Asked while a drag moves over the picture, with the control the drag came from;
    // unset, every drag is refused.
    std::function<bool(QObject* source)> dragOver;
    std::function<void(QObject* source)> dropped;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setAccepting(bool on);
    bool pressed_ = false;
    bool accepting_ = false;   // a drag it accepts is over it
};

}  // namespace parelix
