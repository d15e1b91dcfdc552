#pragma once
// The system services the program is handed rather than reaching for: the drive table, the
// message box, the question before a deletion, the desktop's opener, the system's version,
// the shell's operations over them and the read call for searched files. main makes them
// (ui/DesktopServices gives them the window's dialogs), the headless tools make plain ones,
// and tests make their own; the session hands them down to the engine, browsing and
// deletion.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "platform/Shell.h"
#include "platform/System.h"

namespace parelix {

class PlatformServices {
public:
    // drives: the drive letters over the file tree; by default this process's mount table.
    explicit PlatformServices(DriveTable drives = DriveTable::current());
    virtual ~PlatformServices() = default;
    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    const DriveTable& drives() const { return drives_; }
    // The type of the drive at root ("D:\"), as GetDriveTypeA answers over drives().
    virtual unsigned driveType(std::string_view root) const;

    // A modal box with one OK button; a plain box takes the application's title as caption.
    // Without a window the text goes to standard error.
    virtual void showMessage(const std::string& text, const std::string& caption = {},
                             MessageKind kind = MessageKind::Plain);
    // The question before a path goes to the trash (trashQuestion), answered Oui (true) or
    // Non. Without a window nothing is confirmed, so nothing is deleted.
    virtual bool confirmDeletion(const std::string& question);
    // The question before a walk sends many files to the trash, answered Oui (true) or Non,
    // Non by default. Without a window nothing is confirmed.
    virtual bool confirmWalk(const std::string& question);
    // Launches the desktop's application for a POSIX path; false when none was launched.
    // Without a window nothing is launched.
    virtual bool launch(const std::string& posixPath);
    // The desktop's save dialog, with its caption and the file name it offers: the POSIX
    // path chosen, or none when the user cancelled. Without a window there is none.
    virtual std::optional<std::string> askSavePath(const std::string& caption, const std::string& suggestedName);
    // The system's version, as GetVersionExA answers.
    virtual bool version(OsVersionInfo& info);

    // The shell (platform/Shell.h): the recycle bin and opening. Without a desktop there is
    // neither: nothing is moved (as if the question were refused) and nothing is opened.
    // ShellServices gives the desktop's.
    virtual int fileOperation(SHFILEOPSTRUCTA& op);
    virtual int shellExecute(const std::string& file, const std::string& directory, int showCommand);
    // The files that every Parelix process of the user locks while it deletes, the first
    // usable one (DeletionLock); none, nothing to lock, without a recycle bin.
    virtual std::vector<std::string> deletionLockFiles() const { return {}; }

    // The read system call for searched files; one that reads short tests the readers.
    ReadCall readCall = &::read;

private:
    DriveTable drives_;
};

// The services with the desktop's shell behind them: the freedesktop recycle bin and the
// associated applications (GIO), asking and telling through the services above. Apart, so
// that a tool without a desktop does not load GIO.
class ShellServices : public PlatformServices {
public:
    using PlatformServices::PlatformServices;

    int fileOperation(SHFILEOPSTRUCTA& op) override;
    int shellExecute(const std::string& file, const std::string& directory, int showCommand) override;
    std::vector<std::string> deletionLockFiles() const override;
};

}  // namespace parelix
