#pragma once
// The system services as the desktop gives them: the message box, the question before a
// deletion to the trash, the save dialog and the desktop's opener, over platform/'s plain
// ones. main makes one; each asks for the application object when called, and does what a
// tool without a window does when there is none.
#include <string>
#include <vector>

#include "platform/Services.h"

class QWidget;

namespace parelix {

class DesktopServices : public ShellServices {
public:
    using ShellServices::ShellServices;

    void showMessage(const std::string& text, const std::string& caption = {},
                     MessageKind kind = MessageKind::Plain) override;
    bool confirmDeletion(const std::string& question) override;
    bool confirmWalk(const std::string& question) override;
    bool launch(const std::string& posixPath) override;
    std::optional<std::string> askSavePath(const std::string& caption, const std::string& suggestedName) override;
};

// Qt's file dialog in French, for files to leave out of the search: their system paths, or
// none when the user cancelled.
std::vector<std::string> askFilesToExclude(QWidget* parent);

}  // namespace parelix
