// Program start: the application object, the main window, the event loop.
#include "ui/Application.h"
#include "ui/EcrPrin.h"

int main(int argc, char** argv) {
    parelix::Application app(argc, argv);
    parelix::T_EcrPrin window;
    if (!window.startupRefused) window.show();
    return app.exec();
}
