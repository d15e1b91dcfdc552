#include "ui/DesktopServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Shell.h"
#include "results/Messages.h"

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
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kTrashQuestionCaption), fromBytes(question));
    QPushButton* yes = box.addButton(QString::fromUtf8(kYes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8(kNo), QMessageBox::NoRole);
    box.setDefaultButton(ouiByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

bool DesktopServices::confirmDeletion(const std::string& question) { return askOuiNon(question, true); }

// Many files at once: Enter alone sends none.
bool DesktopServices::confirmWalk(const std::string& question) { return askOuiNon(question, false); }

// Qt's own dialog, where the desktop gives none, speaks English unless told otherwise: its
// labels are set here, and the question before a file is replaced is asked here in French,
// for the desktop's dialog too. Non goes back to the dialog.
std::optional<std::string> DesktopServices::askSavePath(const std::string& caption, const std::string& suggestedName) {
    if (!hasWidgets()) return std::nullopt;
    QFileDialog dialog(QApplication::activeWindow(), fromBytes(caption), QDir::home().filePath(fromBytes(suggestedName)),
                       QString::fromUtf8(kSaveListFilters));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setLabelText(QFileDialog::LookIn, QString::fromUtf8(kDialogLookIn));
    dialog.setLabelText(QFileDialog::FileName, QString::fromUtf8(kDialogFileName));
    dialog.setLabelText(QFileDialog::FileType, QString::fromUtf8(kDialogFileType));
    dialog.setLabelText(QFileDialog::Accept, QString::fromUtf8(kDialogSave));
    dialog.setLabelText(QFileDialog::Reject, QString::fromUtf8(kDialogCancel));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        const QString path = dialog.selectedFiles().constFirst();
        if (!QFileInfo::exists(path)) return QFile::encodeName(path).toStdString();
        QMessageBox box(QMessageBox::Question, fromBytes(caption),
                        QString::fromUtf8(kReplaceQuestion).arg(QFileInfo(path).fileName()));
        QPushButton* yes = box.addButton(QString::fromUtf8(kYes), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QString::fromUtf8(kNo), QMessageBox::NoRole);
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        if (box.clickedButton() == yes) return QFile::encodeName(path).toStdString();
    }
}

std::vector<std::string> askFilesToExclude(QWidget* parent) {
    QFileDialog dialog(parent, QString::fromUtf8(kAddExcludedFileCaption), QDir::homePath(),
                       QString::fromUtf8(kAllFilesFilter));
    dialog.setObjectName(QStringLiteral("DialogExclusion"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setLabelText(QFileDialog::LookIn, QString::fromUtf8(kDialogLookIn));
    dialog.setLabelText(QFileDialog::FileName, QString::fromUtf8(kDialogFileName));
    dialog.setLabelText(QFileDialog::FileType, QString::fromUtf8(kDialogFileType));
    dialog.setLabelText(QFileDialog::Accept, QString::fromUtf8(kDialogOpen));
    dialog.setLabelText(QFileDialog::Reject, QString::fromUtf8(kDialogCancel));
    std::vector<std::string> files;
    if (dialog.exec() != QDialog::Accepted) return files;
    for (const QString& path : dialog.selectedFiles()) files.push_back(QFile::encodeName(path).toStdString());
    return files;
}

bool DesktopServices::launch(const std::string& posixPath) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    return launchDefaultApplication(posixPath);
}

}  // namespace parelix
