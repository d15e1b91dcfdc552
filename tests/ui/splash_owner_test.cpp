// The splash window as the application object owns it: it never ends the program on its own,
// and the application's shutdown destroys a splash still on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "ui/EcrApropos.h"

using parelix::TEcrApropos;

namespace {

int argc = 1;
char name[] = "parelix-splash-owner";
char* argv[] = {name, nullptr};

void offscreen() {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace

TEST(SplashOwner, ApplicationShutdownDestroysASplashStillShown) {
    offscreen();
    int destroyed = 0;
    {
        QApplication app(argc, argv);
        auto* s = new TEcrApropos(&app);
        QObject::connect(s, &QObject::destroyed, [&] { ++destroyed; });
        s->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(SplashOwner, ClosingTheSplashDoesNotEndTheProgram) {
    offscreen();
    QApplication app(argc, argv);
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    auto* s = new TEcrApropos(&app);
    int destroyed = 0;
    QObject::connect(s, &QObject::destroyed, [&] { ++destroyed; });
    s->show();
    QCoreApplication::processEvents();

    // The splash is the only window: if its closing counted as the last window closing, the
    // loop would end at its tick, before this watchdog.
    bool watchdog = false;
    QTimer::singleShot(2500, &app, [&] {
        watchdog = true;
        QCoreApplication::quit();
    });
    app.exec();
    EXPECT_TRUE(watchdog);
    EXPECT_EQ(destroyed, 1);
}
