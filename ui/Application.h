#pragma once
// The application object. Every event handler runs inside notify(); an exception that
// leaves a handler (a work-file error, or any other) is shown in a message box there and
// the event loop goes on, so none crosses Qt's event dispatch.
#include <QApplication>
#include <exception>

namespace parelix {

class PlatformServices;
class T_EcrPrin;

class Application : public QApplication {
    Q_OBJECT
public:
    // services: the program's, which show its message boxes; they outlive the application.
    Application(int& argc, char** argv, PlatformServices& services);

    // Around the construction of the application object, where the toolkit connects to the
    // display: without one it would abort (status 134) after lines about its plugins. Until
    // displayReached(), the toolkit's messages are held; if it gives up for want of a display,
    // the program says so in one line and ends with status 1.
    static void watchDisplayStart();
    static void displayReached();

    bool notify(QObject* receiver, QEvent* event) override;

    // Qt's own dialogs in French: Qt's translation loaded into the application. False when
    // it is not installed.
    static bool speakFrench(QCoreApplication& app);

    // From here on SIGTERM, SIGHUP and SIGINT no longer end the process at once: they wait
    // for run(), which ends the program through the window, as its Quit button does.
    void catchQuitSignals();
    // Shows the window (unless its start-up was refused), hands it the signals and runs the
    // event loop.
    int run(T_EcrPrin& window);

    // Shows the message of an exception that ended a handler.
    static void showException(const std::exception& error);

private:
    PlatformServices& services_;
    int quitSignalFd_ = -1;
};

}  // namespace parelix
