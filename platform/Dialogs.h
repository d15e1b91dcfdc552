#pragma once
// The kinds of message box; the box itself is PlatformServices::showMessage
// (platform/Services.h), which the window's library gives its own.
namespace parelix {

enum class MessageKind { Plain, Error };

}  // namespace parelix
