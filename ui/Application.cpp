#include "ui/Application.h"

#include <QSocketNotifier>

#include "platform/Dialogs.h"
#include "platform/QuitSignals.h"
#include "ui/EcrPrin.h"
#include "ui/PlatformServices.h"

namespace parelix {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The name only: with a display name set, the window system would show it after every
    // caption ("Erreur — Parelix"), and captions are the program's own.
    setApplicationName(QStringLiteral("Parelix"));
    installPlatformServices();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
    } catch (...) {
        showException(std::runtime_error("Erreur inconnue"));
    }
    return false;
}

void Application::catchQuitSignals() { quitSignalFd_ = parelix::catchQuitSignals(); }

int Application::run(T_EcrPrin& window) {
    if (!window.startupRefused()) window.show();
    if (quitSignalFd_ >= 0) {
        // A signal that came before is waiting in the pipe: the first turn of the loop takes it.
        auto* notifier = new QSocketNotifier(quitSignalFd_, QSocketNotifier::Read, this);
        const int fd = quitSignalFd_;
        connect(notifier, &QSocketNotifier::activated, &window, [fd, &window] {
            if (takeQuitSignals(fd)) window.quitBySignal();
        });
    }
    return exec();
}

void Application::showException(const std::exception& error) {
    ShowMessage(error.what(), "Parelix", MessageKind::Error);
}

}  // namespace parelix
