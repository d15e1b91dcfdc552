#pragma once
// The widgets behind platform/'s dialogs and shell: the message box, the question before a
// deletion to the trash, and the desktop's opener. The program installs them at start;
// platform/ alone has no window to show them in.
namespace parelix {

void installPlatformServices();

}  // namespace parelix
