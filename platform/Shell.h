#pragma once
// The shell: deletion to the recycle bin and opening with the associated application.
#include <functional>
#include <optional>
#include <string>

#include "platform/TrashRestore.h"

namespace parelix {

class DriveTable;
class PlatformServices;

constexpr unsigned FO_DELETE = 3;
constexpr unsigned FOF_CONFIRMMOUSE = 0x02;
constexpr unsigned FOF_NOCONFIRMATION = 0x10;
constexpr unsigned FOF_ALLOWUNDO = 0x40;
constexpr unsigned FOF_NOERRORUI = 0x400;

// What the shell answers for a refused question, and for a file no application opens.
constexpr int kShellCancelled = 1223;
constexpr int kShellNoAssociation = 31;

struct SHFILEOPSTRUCTA {
    unsigned wFunc = 0;
    std::string pFrom;               // one path; the list terminators are implied
    unsigned fFlags = 0;
    bool fAnyOperationsAborted = false;
    // Not the platform's: called after the question (if any), right before the move. False
    // keeps the path where it is: fAnyOperationsAborted is set and nothing is shown (the
    // caller says why).
    std::function<bool()> lastCheck;
    // Not the platform's: why the operation failed, also when FOF_NOERRORUI kept it unshown.
    std::string failure;
    // Not the platform's: where a successful move put the path in the recycle bin, so that it
    // can be put back; none when no bin holds it under its identity.
    std::optional<TrashedItem> trashed;
};

// Moves pFrom (file or whole folder) to the freedesktop trash. Without FOF_NOCONFIRMATION
// asks first (trashQuestion, through services.confirmDeletion); a refusal sets
// fAnyOperationsAborted and deletes nothing. A failure is shown in an error box (services'),
// unless FOF_NOERRORUI, and answers non-zero. 0 means done.
int SHFileOperationA(SHFILEOPSTRUCTA& op, PlatformServices& services);

// The question asked before a path (Windows-style) goes to the trash: its first line names
// the last component, its second the folder that holds it, as the trees write paths, and
// for a folder how many files it holds (below it, at any depth).
std::string trashQuestion(const std::string& windowsPath, const DriveTable& drives);

constexpr int SW_SHOWNORMAL = 1;
// Opens a file or folder with the desktop's associated application (services.launch).
// Answers 2 for a missing file, 3 for a missing folder on its path, 31 for a failed launch,
// 42 on success.
int ShellExecuteA(const std::string& file, const std::string& directory, int showCommand,
                  PlatformServices& services);

// Launches the desktop's default application for the file's content type (for a folder,
// the file manager), the one GIO's lookup names, with the file. False when none is named or
// it could not be started: the caller answers 31 for both.
bool launchDefaultApplication(const std::string& posixPath);

}  // namespace parelix
