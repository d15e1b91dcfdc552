#include "ui/DesktopServices.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Shell.h"

namespace parelix {

namespace {

QString fromBytes(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Made before the application object exists (and used after it is gone): each service asks
// for it when called.
bool hasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

void DesktopServices::showMessage(const std::string& text, const std::string& caption, MessageKind kind) {
    if (!hasWidgets()) {
        PlatformServices::showMessage(text, caption, kind);
        return;
    }
    QString title = fromBytes(caption);
    if (title.isEmpty()) title = QCoreApplication::applicationName();
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    fromBytes(text), QMessageBox::Ok);
    box.exec();
}

namespace {

// The question before a deletion, Oui or Non; Escape answers Non.
bool askOuiNon(const std::string& question, bool ouiByDefault) {
    if (!hasWidgets()) return false;   // nothing is deleted without a yes
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmer la suppression"), fromBytes(question));
    QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(ouiByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

bool DesktopServices::confirmDeletion(const std::string& question) { return askOuiNon(question, true); }

// Many files at once: Enter alone sends none.
bool DesktopServices::confirmWalk(const std::string& question) { return askOuiNon(question, false); }

bool DesktopServices::launch(const std::string& posixPath) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    return launchDefaultApplication(posixPath);
}

}  // namespace parelix
