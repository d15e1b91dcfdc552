#pragma once
// An up/down spin button: two arrows one above the other. An arrow acts when the mouse
// button is released over it; held down it repeats, first after 400 ms, then every 100 ms.
// It never takes the keyboard focus, so the focused tree keeps it.
#include <QIcon>
#include <QTimer>
#include <QWidget>

namespace parelix {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);

    static constexpr int kFirstRepeatMs = 400;
    static constexpr int kRepeatMs = 100;

signals:
    void upClicked();
    void downClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    enum class Part { None, Up, Down };
    Part partAt(const QPoint& pos) const;
    void fire(Part part);

    Part pressed_ = Part::None;
    bool over_ = false;
    QTimer repeat_;
    QIcon up_;
    QIcon down_;
};

}  // namespace parelix
