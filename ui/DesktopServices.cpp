#include "ui/DesktopServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

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

bool DesktopServices::confirmDeletion(const std::string& question) {
    if (!hasWidgets()) return false;   // nothing is deleted without a yes
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmer la suppression"), fromBytes(question));
    QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<std::string> DesktopServices::askSavePath(const std::string& caption, const std::string& suggestedName) {
    if (!hasWidgets()) return std::nullopt;
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), fromBytes(caption),
                                                      QDir::home().filePath(fromBytes(suggestedName)),
                                                      QStringLiteral("Fichiers CSV (*.csv);;Tous les fichiers (*)"));
    if (path.isEmpty()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

// The desktop's opener (xdg-open) counts as started whether or not it finds an application:
// the association is looked up first.
bool DesktopServices::launch(const std::string& posixPath) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    if (!hasDefaultApplication(posixPath)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(posixPath.c_str())));
}

}  // namespace parelix
