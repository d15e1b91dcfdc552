// Program start: the application object, the session, the main window over it, the event
// loop.
#include "platform/System.h"
#include "session/Session.h"
#include "ui/Application.h"
#include "ui/DesktopServices.h"
#include "ui/EcrPrin.h"

int main(int argc, char** argv) {
    parelix::raiseDescriptorLimit();
    parelix::Application::watchDisplayStart();
    parelix::DesktopServices services;   // the drive table of this process, the desktop's dialogs
    parelix::Application app(argc, argv, services);
    parelix::Application::displayReached();
    // Before the window makes its work files, so that no signal can leave them behind.
    app.catchQuitSignals();
    parelix::Session session(services);   // outlives the window, whose models show its trees
    parelix::T_EcrPrin window(session);
    return app.run(window);
}
