#include "support/UiApplication.h"

#include <QApplication>
#include <cstdlib>

#include "ui/PlatformServices.h"

namespace parelix::test {

namespace {
// Before any test runs; the dialogs wait for an application object when they are called.
const bool platformServicesInstalled = (installPlatformServices(), true);
}  // namespace

void ensureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "parelix-tests";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QApplication(argc, argv);
}

}  // namespace parelix::test
