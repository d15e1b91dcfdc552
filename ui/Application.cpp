#include "ui/Application.h"

#include "platform/Dialogs.h"

namespace parelix {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Parelix"));
    setApplicationDisplayName(QStringLiteral("Parelix"));
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

void Application::showException(const std::exception& error) {
    ShowMessage(error.what(), "Parelix", MessageKind::Error);
}

}  // namespace parelix
