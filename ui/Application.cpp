#include "ui/Application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "platform/QuitSignals.h"
#include "platform/Services.h"
#include "results/Messages.h"
#include "ui/EcrPrin.h"

namespace parelix {

namespace {

QtMessageHandler toolkitHandler = nullptr;
QStringList heldMessages;   // formatted, in order

bool displayMissing() {
    const bool named = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return !named || heldMessages.join(QLatin1Char('\n')).contains(QLatin1String("could not connect to display"));
}

void holdStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        heldMessages.append(qFormatLogMessage(type, context, message));
        return;
    }
    if (displayMissing()) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(1);
    }
    // Any other failure of the start: what the toolkit said, and its own end.
    for (const QString& line : heldMessages) std::fprintf(stderr, "%s\n", qPrintable(line));
    heldMessages.clear();
    if (toolkitHandler) toolkitHandler(type, context, message);
}

}  // namespace

void Application::watchDisplayStart() { toolkitHandler = qInstallMessageHandler(holdStartMessage); }

void Application::displayReached() {
    qInstallMessageHandler(toolkitHandler);
    for (const QString& line : heldMessages) std::fprintf(stderr, "%s\n", qPrintable(line));
    heldMessages.clear();
}

Application::Application(int& argc, char** argv, PlatformServices& services)
    : QApplication(argc, argv), services_(services) {
    // The name only: with a display name set, the window system would show it after every
    // caption ("Erreur — Parelix"), and captions are the program's own.
    setApplicationName(QStringLiteral("Parelix"));
    speakFrench(*this);
}

bool Application::speakFrench(QCoreApplication& app) {
    // Qt's own texts (its file dialog's, its message boxes' buttons) come from Qt's French
    // translation, which Debian ships apart (qt6-translations-l10n); the dialogs' dates and
    // sizes follow the French locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    auto* qt = new QTranslator(&app);
    if (!qt->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    return QCoreApplication::installTranslator(qt);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
    } catch (...) {
        showException(std::runtime_error(kUnknownError));
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
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance()))
        app->services_.showMessage(error.what(), "Parelix", MessageKind::Error);
    else
        std::fprintf(stderr, "%s\n", error.what());
}

}  // namespace parelix
