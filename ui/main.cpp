// Program start: the application object, the main window, the event loop.
#include "ui/Application.h"
#include "ui/EcrPrin.h"

int main(int argc, char** argv) {
    parelix::Application::watchDisplayStart();
    parelix::Application app(argc, argv);
    parelix::Application::displayReached();
    // Before the window makes its work files, so that no signal can leave them behind.
    app.catchQuitSignals();
    parelix::T_EcrPrin window;
    return app.run(window);
}
