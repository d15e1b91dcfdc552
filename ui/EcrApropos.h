#pragma once
// The start-up splash window: product name, version and the author's notice, shown for two
// seconds while the main window finishes its start-up, then closed and destroyed on its own.
#include <QWidget>
#include <array>

class QCloseEvent;
class QFont;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace parelix {

class TEcrApropos : public QWidget {
    Q_OBJECT
public:
    // The owner destroys the window if the program ends before the tick; for the application
    // object that happens as it shuts down. The creator keeps no reference to the window.
    explicit TEcrApropos(QObject* owner);
    ~TEcrApropos() override;

    enum class CloseAction { Hide, Free };

    // --- Handlers ---------------------------------------------------------------------
    void TimerTimer(QObject* sender);
    void BtFermerClick(QObject* sender);
    void FormClose(QObject* sender, CloseAction& action);

    // Shows the window and, on a windowing system that maps windows asynchronously, waits
    // briefly until it can be painted, so that it is painted before the start-up work runs.
    void setVisible(bool visible) override;

    // --- Controls ---------------------------------------------------------------------
    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    std::array<QLabel*, 6> Notice{};   // top-right pair, three centred lines, closing line
    QPushButton* BtFermer = nullptr;
    QTimer* Timer = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The construction, in the order the controls stack up. setUpLook gives the window's
    // caption icon, colours and font (returned: the texts derive theirs from it).
    QFont setUpLook(qreal dpr);
    void centreOnScreen();
    void addPanelAndPicture(qreal dpr);
    void addTexts(const QFont& base);
    void addCloseButton();
    void startTick();
    // The owner's end destroys the window (see the constructor).
    void belongTo(QObject* owner);

    bool closed_ = false;   // a close went through: later requests are ignored
};

}  // namespace parelix
