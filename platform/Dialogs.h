#pragma once
// Message boxes for code outside ui/. The window's library installs the real box at start;
// tests replace the handler.
#include <functional>
#include <string>

namespace parelix {

enum class MessageKind { Plain, Error };

// Shows text in a modal message box with one OK button. A plain box takes the
// application's title as caption. Without a box installed (the headless tools) the text
// goes to standard error.
void ShowMessage(const std::string& text, const std::string& caption = {},
                 MessageKind kind = MessageKind::Plain);

using MessageHandler = std::function<void(const std::string& text, const std::string& caption,
                                          MessageKind kind)>;
// Replaces the box (nullptr restores it); returns the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);
// The box itself, behind any replacement; nullptr leaves standard error.
void installMessageBox(MessageHandler box);

}  // namespace parelix
