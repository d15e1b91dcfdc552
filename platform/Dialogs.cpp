#include "platform/Dialogs.h"

#include <cstdio>

namespace parelix {

namespace {
MessageHandler& currentHandler() {
    static MessageHandler handler;
    return handler;
}
MessageHandler& installedBox() {
    static MessageHandler box;
    return box;
}
}  // namespace

void ShowMessage(const std::string& text, const std::string& caption, MessageKind kind) {
    if (const MessageHandler& handler = currentHandler()) handler(text, caption, kind);
    else if (const MessageHandler& box = installedBox()) box(text, caption, kind);
    else std::fprintf(stderr, "%s\n", text.c_str());   // no window to show it in
}

MessageHandler setMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

void installMessageBox(MessageHandler box) { installedBox() = std::move(box); }

}  // namespace parelix
