#include "ui/PlatformServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <cstdio>

#include "platform/Dialogs.h"
#include "platform/Shell.h"

namespace parelix {

namespace {

QString fromBytes(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Installed before the application object may exist (and after it is gone): each asks for
// it when called, and does what a tool without a window does when there is none.
bool hasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

void messageBox(const std::string& text, const std::string& caption, MessageKind kind) {
    if (!hasWidgets()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QString title = fromBytes(caption);
    if (title.isEmpty()) title = QCoreApplication::applicationName();
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    fromBytes(text), QMessageBox::Ok);
    box.exec();
}

bool confirmDeletion(const std::string& question) {
    if (!hasWidgets()) return false;   // nothing is deleted without a yes
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmer la suppression"), fromBytes(question));
    QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// The desktop's opener (xdg-open) counts as started whether or not it finds an application:
// the association is looked up first.
bool openWithDesktop(const std::string& posixPath) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    if (!hasDefaultApplication(posixPath)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(posixPath.c_str())));
}

}  // namespace

void installPlatformServices() {
    installMessageBox(messageBox);
    ShellHooks services;
    services.confirm = confirmDeletion;
    services.launch = openWithDesktop;   // errors go through the message box
    installShellServices(services);
}

}  // namespace parelix
