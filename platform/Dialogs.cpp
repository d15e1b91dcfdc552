#include "platform/Dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

namespace parelix {

namespace {
MessageHandler& currentHandler() {
    static MessageHandler handler;
    return handler;
}
}  // namespace

void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind) {
    if (const MessageHandler& handler = currentHandler()) {
        handler(text, caption, kind);
        return;
    }
    // Without a widget application (the headless scan tool) there is no one to ask.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QString title = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    if (title.isEmpty()) title = QCoreApplication::applicationName();
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
    box.exec();
}

MessageHandler setMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

}  // namespace parelix
