// The splash window: its layout with the desktop's fonts, the pictures it and the other windows
// use, and its life: one close, one destruction, whatever holds the event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QThread>
#include <QTimer>
#include <vector>

#include "support/UiApplication.h"
#include "ui/EcrApropos.h"

using parelix::TEcrApropos;

namespace {

// Counts the close events a window receives.
class CloseCounter : public QObject {
public:
    int closes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Close) ++closes;
        return false;
    }
};

struct Watched {
    TEcrApropos* splash;
    CloseCounter counter;
    int destroyed = 0;

    Watched() : splash(new TEcrApropos(qApp)) {
        splash->installEventFilter(&counter);
        QObject::connect(splash, &QObject::destroyed, [this] { ++destroyed; });
    }
    // As the main window's creation does: show, then one turn of pending events.
    void showLikeStartup() {
        splash->show();
        QCoreApplication::processEvents();
    }
    // Runs a real event loop until the splash is destroyed or the time runs out.
    qint64 runUntilDestroyed(int timeoutMs) {
        QElapsedTimer t;
        t.start();
        if (destroyed == 0) {
            QEventLoop loop;
            QObject::connect(splash, &QObject::destroyed, &loop, &QEventLoop::quit);
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        // Give a second, stray release or close the chance to show up.
        QEventLoop settle;
        QTimer::singleShot(100, &settle, &QEventLoop::quit);
        settle.exec();
        return t.elapsed();
    }
};

QImage render(const QString& name, int size) {
    QSvgRenderer r(QStringLiteral(":/images/%1.svg").arg(name));
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    r.render(&p);
    return img;
}

int countPixels(const QImage& img, bool (*pred)(QColor)) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (pred(img.pixelColor(x, y))) ++n;
    return n;
}

bool isOpaque(QColor c) { return c.alpha() > 200; }
bool isRed(QColor c) { return c.alpha() > 200 && c.red() > 180 && c.green() < 80 && c.blue() < 80; }
bool isColoured(QColor c) {
    return c.alpha() > 40 && std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 24;
}

QList<QLabel*> labelsOf(TEcrApropos* s) {
    QList<QLabel*> labels{s->ProductName, s->Version};
    for (QLabel* l : s->Notice) labels.append(l);
    return labels;
}

}  // namespace

class SplashTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { parelix::test::ensureApplication(); }
};

TEST_F(SplashTest, EveryTextFitsItsPlaceInsideThePanel) {
    auto* s = new TEcrApropos(qApp);
    const QRect inside = s->Panel1->rect().adjusted(2, 2, -2, -2);
    const QList<QLabel*> labels = labelsOf(s);
    for (QLabel* l : labels) {
        SCOPED_TRACE(l->objectName().toStdString());
        ASSERT_FALSE(l->text().isEmpty());
        const QFontMetrics fm = l->fontMetrics();
        EXPECT_LE(fm.horizontalAdvance(l->text()), l->width());
        EXPECT_GE(l->height(), fm.height());
        EXPECT_TRUE(inside.contains(l->geometry())) << l->geometry().x() << "," << l->geometry().width();
    }
    EXPECT_EQ(s->ProductName->text(), "Parelix");
    EXPECT_EQ(s->ProductName->font().pixelSize(), 32);
    EXPECT_EQ(s->Version->text(), "Version 0.4");
    EXPECT_EQ(s->Version->font().pixelSize(), 11);

    // Growing a label to its text keeps the line it is aligned on.
    EXPECT_EQ(s->Version->geometry().right(), 260);
    EXPECT_EQ(s->Notice[0]->geometry().right(), 260);
    EXPECT_EQ(s->Notice[1]->geometry().right(), 260);
    for (std::size_t i = 2; i < 5; ++i) EXPECT_NEAR(s->Notice[i]->geometry().center().x(), 135, 1);

    // Nothing covers anything else.
    QList<QWidget*> boxes{s->ProgramIcon};
    for (QLabel* l : labels) boxes.append(l);
    for (int i = 0; i < boxes.size(); ++i)
        for (int j = i + 1; j < boxes.size(); ++j)
            EXPECT_FALSE(boxes[i]->geometry().intersects(boxes[j]->geometry()))
                << boxes[i]->objectName().toStdString() << " / " << boxes[j]->objectName().toStdString();
    delete s;
}

TEST_F(SplashTest, CentredWithItsPictures) {
    auto* s = new TEcrApropos(qApp);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(s->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(s->geometry().center().y() - screen.center().y()), 1);

    // The pictures come from the program's resources: a missing resource leaves them empty.
    const QImage icon = s->windowIcon().pixmap(32, 32).toImage();
    EXPECT_GT(countPixels(icon, isOpaque), 200);
    const QImage trash = s->ProgramIcon->pixmap().toImage();
    EXPECT_GE(trash.width(), 103);
    EXPECT_GT(countPixels(trash, isOpaque), 103 * 103 / 4);
    delete s;
}

TEST_F(SplashTest, EveryPictureLoadsAtItsSize) {
    const QStringList small{"tree0_folder", "tree1_folder_marked", "tree2_folder_open",
                            "tree3_folder_open_marked", "tree4_file", "tree5_file_marked",
                            "btn_ajoute", "btn_enleve", "btn_revoir", "btn_cherche", "btn_quitte",
                            "btn_ajoute_disabled", "btn_enleve_disabled", "btn_revoir_disabled",
                            "btn_cherche_disabled", "btn_quitte_disabled", "arrow_up", "arrow_down"};
    const QStringList large{"app_icon", "trash", "splash_icon"};
    for (const auto& [names, size] : {std::pair{small, 16}, std::pair{large, 32}}) {
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            QSvgRenderer r(QStringLiteral(":/images/%1.svg").arg(name));
            ASSERT_TRUE(r.isValid());
            EXPECT_EQ(r.defaultSize(), QSize(size, size));
            EXPECT_GT(countPixels(render(name, size), isOpaque), 6);
        }
    }
}

TEST_F(SplashTest, MarkedTreePicturesAreThePlainOnesOnARedDisc) {
    const QList<std::pair<QString, QString>> twins{{"tree0_folder", "tree1_folder_marked"},
                                                   {"tree2_folder_open", "tree3_folder_open_marked"},
                                                   {"tree4_file", "tree5_file_marked"}};
    for (const auto& [plain, marked] : twins) {
        SCOPED_TRACE(marked.toStdString());
        const QImage a = render(plain, 16), b = render(marked, 16);
        EXPECT_EQ(countPixels(a, isRed), 0);
        EXPECT_GE(countPixels(b, isRed), 20);
        // The picture itself is unchanged where it is opaque, so the mark reads as an addition.
        int differing = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (a.pixelColor(x, y).alpha() == 255 && a.pixel(x, y) != b.pixel(x, y)) ++differing;
        EXPECT_EQ(differing, 0);
    }
    // Selected folders look open: their pictures differ from the closed ones.
    EXPECT_NE(render("tree0_folder", 16), render("tree2_folder_open", 16));
}

TEST_F(SplashTest, DisabledGlyphsAreGreyTwinsOfColouredOnes) {
    for (const char* name : {"btn_ajoute", "btn_enleve", "btn_revoir", "btn_cherche", "btn_quitte"}) {
        SCOPED_TRACE(name);
        const QString n = QString::fromLatin1(name);
        EXPECT_GT(countPixels(render(n, 16), isColoured), 20);
        EXPECT_EQ(countPixels(render(n + "_disabled", 16), isColoured), 0);
        EXPECT_GT(countPixels(render(n + "_disabled", 16), isOpaque), 20);
    }
    // The two arrows point opposite ways: each is the other upside down.
    EXPECT_EQ(render("arrow_up", 16).mirrored(false, true), render("arrow_down", 16));
    // Ajoute points right, Enlève left: the square tail is tall, the tip is a point.
    const auto ends = [](const QImage& img) {
        std::vector<int> heights;
        for (int x = 0; x < img.width(); ++x)
            if (int h = countPixels(img.copy(x, 0, 1, img.height()), isOpaque)) heights.push_back(h);
        return std::pair{heights.front(), heights.back()};
    };
    const auto [ajouteLeft, ajouteRight] = ends(render("btn_ajoute", 16));
    const auto [enleveLeft, enleveRight] = ends(render("btn_enleve", 16));
    EXPECT_GT(ajouteLeft, ajouteRight + 2);
    EXPECT_GT(enleveRight, enleveLeft + 2);
}

TEST_F(SplashTest, ClicksAndKeysDoNothing) {
    Watched w;
    w.showLikeStartup();
    QList<QWidget*> targets{w.splash, w.splash->Panel1, w.splash->ProgramIcon};
    for (QLabel* l : labelsOf(w.splash)) targets.append(l);
    for (QWidget* t : targets) {
        const QPointF at(t->width() / 2.0, t->height() / 2.0);
        const QPointF global = t->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(t, &press);
        QCoreApplication::sendEvent(t, &release);
    }
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QWidget* focus = w.splash->focusWidget() ? w.splash->focusWidget() : w.splash;
        QCoreApplication::sendEvent(focus, &down);
        QCoreApplication::sendEvent(focus, &up);
    }
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.destroyed, 0);
    EXPECT_EQ(w.counter.closes, 0);
    EXPECT_TRUE(w.splash->isVisible());
    delete w.splash;
}

TEST_F(SplashTest, ClosesItselfOnceAfterTwoSeconds) {
    Watched w;
    w.showLikeStartup();
    EXPECT_TRUE(w.splash->isVisible());
    const qint64 elapsed = w.runUntilDestroyed(5000);
    EXPECT_EQ(w.destroyed, 1);
    EXPECT_EQ(w.counter.closes, 1);
    EXPECT_GE(elapsed, 1900);   // not before its tick
}

TEST_F(SplashTest, BusyStartupDelaysTheCloseUntilTheLoopRuns) {
    Watched w;
    QPointer<TEcrApropos> guard(w.splash);
    w.showLikeStartup();
    QThread::msleep(2300);   // start-up work that processes no events
    ASSERT_FALSE(guard.isNull());
    EXPECT_TRUE(w.splash->isVisible());
    EXPECT_EQ(w.counter.closes, 0);

    const qint64 elapsed = w.runUntilDestroyed(3000);
    EXPECT_EQ(w.destroyed, 1);
    EXPECT_EQ(w.counter.closes, 1);
    EXPECT_LT(elapsed, 2000);   // closed on the loop's first turns, not after another full period
}

TEST_F(SplashTest, RepeatedCloseRequestsCloseAndDestroyOnce) {
    Watched w;
    w.showLikeStartup();
    // From inside the loop, as handlers run: a click on the close button, then the tick.
    TEcrApropos* s = w.splash;
    QTimer::singleShot(0, s, [s] {
        s->BtFermerClick(s->BtFermer);
        s->TimerTimer(s->Timer);
        s->BtFermerClick(s->BtFermer);
    });
    w.runUntilDestroyed(1000);
    EXPECT_EQ(w.destroyed, 1);
    EXPECT_EQ(w.counter.closes, 1);
}

TEST_F(SplashTest, OwnerOtherThanTheApplicationDestroysIt) {
    auto* owner = new QObject;
    auto* s = new TEcrApropos(owner);
    int destroyed = 0;
    QObject::connect(s, &QObject::destroyed, [&] { ++destroyed; });
    s->show();
    delete owner;
    EXPECT_EQ(destroyed, 1);
}
