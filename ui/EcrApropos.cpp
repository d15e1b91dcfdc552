#include "ui/EcrApropos.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSvgRenderer>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "results/Messages.h"

// The pictures live in a static library: nothing references their resource object, so the
// linker would drop it unless it is initialised explicitly (and the macro must stand outside
// any namespace).
static void initImages() {
    static const bool done = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    (void)done;
}

namespace parelix {

namespace {

constexpr int kTickMs = 2000;
constexpr int kExposeWaitMs = 500;

// Panel in the window's colour with a lowered outer and a raised inner bevel, one pixel each.
class BevelPanel : public QFrame {
public:
    explicit BevelPanel(QWidget* parent) : QFrame(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Base));
        const auto bevel = [&p](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
            p.setPen(topLeft);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        };
        bevel(rect(), pal.color(QPalette::Dark), pal.color(QPalette::Light));
        bevel(rect().adjusted(1, 1, -1, -1), pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }
};

// Renders a picture straight at the size it is shown, so it stays sharp at any screen scale.
QPixmap svgPixmap(const QString& path, QSize size, qreal dpr) {
    QSvgRenderer renderer(path);
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return pm;
}

QIcon svgIcon(const QString& path, qreal dpr) {
    QIcon icon;
    for (int s : {16, 24, 32, 48})
        icon.addPixmap(svgPixmap(path, QSize(s, s), dpr));
    return icon;
}

// The layout's boxes were sized for a narrow bitmap font; the desktop's sans font is wider.
// A label that is too small for its text grows from the edge its alignment keeps fixed, so
// no text is ever clipped and the anchor line of the layout stays where it is.
void fitToText(QLabel* label) {
    const QFontMetrics fm = label->fontMetrics();
    QRect g = label->geometry();
    const int needW = fm.horizontalAdvance(label->text());
    if (needW > g.width()) {
        const int extra = needW - g.width();
        const Qt::Alignment a = label->alignment();
        if (a & Qt::AlignRight)
            g.setLeft(g.left() - extra);
        else if (a & Qt::AlignHCenter)
            g.adjust(-extra / 2, 0, extra - extra / 2, 0);
        else
            g.setWidth(needW);
    }
    if (fm.height() > g.height()) g.setHeight(fm.height());
    label->setGeometry(g);
}

// Windows owned by the application object, destroyed when it shuts down if still alive.
QSet<TEcrApropos*>& appOwned() {
    static QSet<TEcrApropos*> set;
    return set;
}
bool postRoutineSet = false;

void destroyAppOwned() {
    postRoutineSet = false;   // the routine list was taken over by the shutdown
    const QSet<TEcrApropos*> windows = appOwned();
    for (TEcrApropos* w : windows) delete w;
}

}  // namespace

TEcrApropos::TEcrApropos(QObject* owner)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    initImages();
    setObjectName(QStringLiteral("EcrApropos"));
    setWindowTitle(QStringLiteral("A propos de..."));
    // Closing the splash must never be taken for the last window closing.
    setAttribute(Qt::WA_QuitOnClose, false);

    const qreal dpr = devicePixelRatioF();
    const QFont base = setUpLook(dpr);
    centreOnScreen();
    addPanelAndPicture(dpr);
    addTexts(base);
    addCloseButton();
    startTick();
    belongTo(owner);

    // Without a window manager nothing keeps a window on top: a window shown after the splash
    // (the main window at start-up) would cover it. Raise the splash again whenever that happens.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QFont TEcrApropos::setUpLook(qreal dpr) {
    setWindowIcon(svgIcon(QStringLiteral(":/images/splash_icon.svg"), dpr));

    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    QFont base = QApplication::font();
    base.setPixelSize(11);
    setFont(base);
    return base;
}

void TEcrApropos::centreOnScreen() {
    setFixedSize(289, 216);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - width()) / 2, s.y() + (s.height() - height()) / 2);
    }
}

void TEcrApropos::addPanelAndPicture(qreal dpr) {
    Panel1 = new BevelPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(7, 7, 274, 202);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(2, 10, 103, 103);
    ProgramIcon->setPixmap(svgPixmap(QStringLiteral(":/images/trash.svg"), QSize(103, 103), dpr));
}

void TEcrApropos::addTexts(const QFont& base) {
    const auto label = [this](const char* name, const QString& text, QRect box, Qt::Alignment align) {
        auto* l = new QLabel(text, Panel1);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(align | Qt::AlignVCenter);
        l->setGeometry(box);
        return l;
    };

    ProductName = label("ProductName", QStringLiteral("Parelix"), {140, 13, 117, 37}, Qt::AlignLeft);
    QFont big = base;
    big.setPixelSize(32);
    ProductName->setFont(big);
    Version = label("Version", QStringLiteral("Version " PARELIX_VERSION), {208, 53, 53, 13}, Qt::AlignRight);

    // The author's notice: two lines at the top right, three centred under the picture,
    // and a closing line.
    Notice[0] = label("Notice1", QString::fromUtf8(kNotice[0]), {111, 67, 150, 13}, Qt::AlignRight);
    Notice[1] = label("Notice2", QString::fromUtf8(kNotice[1]), {111, 80, 150, 13}, Qt::AlignRight);
    Notice[2] = label("Notice3", QString::fromUtf8(kNotice[2]), {4, 114, 262, 13}, Qt::AlignHCenter);
    Notice[3] = label("Notice4", QString::fromUtf8(kNotice[3]), {4, 127, 262, 13}, Qt::AlignHCenter);
    Notice[4] = label("Notice5", QString::fromUtf8(kNotice[4]), {4, 140, 262, 13}, Qt::AlignHCenter);
    Notice[5] = label("Notice6", QString::fromUtf8(kNotice[5]), {83, 158, 99, 13}, Qt::AlignLeft);
    Notice[5]->setWordWrap(true);

    for (QLabel* l : {ProductName, Version, Notice[0], Notice[1], Notice[2], Notice[3], Notice[4], Notice[5]})
        fitToText(l);
}

void TEcrApropos::addCloseButton() {
    // Hidden: it never takes a click or a key, so Enter and Escape do nothing.
    BtFermer = new QPushButton(QStringLiteral("&Fermer"), this);
    BtFermer->setObjectName(QStringLiteral("BtFermer"));
    BtFermer->setGeometry(16, 184, 257, 22);
    BtFermer->setDefault(true);
    BtFermer->hide();
    connect(BtFermer, &QPushButton::clicked, this, [this] { BtFermerClick(BtFermer); });
}

void TEcrApropos::startTick() {
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(kTickMs);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(Timer); });
    Timer->start();
}

void TEcrApropos::belongTo(QObject* owner) {
    if (owner && owner == QCoreApplication::instance()) {
        if (!postRoutineSet) {
            qAddPostRoutine(destroyAppOwned);
            postRoutineSet = true;
        }
        appOwned().insert(this);
    } else if (owner) {
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
    }
}

TEcrApropos::~TEcrApropos() {
    appOwned().remove(this);
    if (appOwned().isEmpty() && postRoutineSet) {
        qRemovePostRoutine(destroyAppOwned);
        postRoutineSet = false;
    }
}

void TEcrApropos::setVisible(bool visible) {
    QWidget::setVisible(visible);
    if (!visible || closed_) return;
    // The one turn of events that start-up grants may come before the windowing system has
    // mapped the window; wait a little for it so the splash is really painted.
    QWindow* handle = windowHandle();
    QElapsedTimer waited;
    waited.start();
    while (handle && !handle->isExposed() && waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!handle->isExposed()) QThread::msleep(5);
    }
    if (handle && handle->isExposed()) repaint();
}

bool TEcrApropos::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType() && !closed_ &&
        static_cast<QWidget*>(watched)->isWindow()) {
        // Queued: the other window is mapped only after its show event.
        QMetaObject::invokeMethod(this, [this] {
            if (!closed_ && isVisible()) raise();
        }, Qt::QueuedConnection);
    }
    return false;
}

void TEcrApropos::TimerTimer(QObject* /*sender*/) {
    if (closed_) return;
    Timer->stop();
    close();
}

void TEcrApropos::BtFermerClick(QObject* /*sender*/) {
    if (closed_) return;
    close();
}

void TEcrApropos::FormClose(QObject* /*sender*/, CloseAction& action) {
    action = CloseAction::Free;
}

void TEcrApropos::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) return;
    closed_ = true;
    Timer->stop();
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
    CloseAction action = CloseAction::Hide;
    FormClose(this, action);
    // Read by the toolkit once this handler returns: a release destroys the window as soon as
    // the event loop handles it.
    setAttribute(Qt::WA_DeleteOnClose, action == CloseAction::Free);
}

}  // namespace parelix
