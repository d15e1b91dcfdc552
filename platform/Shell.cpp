#include "platform/Shell.h"

#include <ftw.h>
#include <gio/gio.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Counts.h"
#include "platform/DeletionLock.h"
#include "platform/Drives.h"
#include "platform/Services.h"

namespace parelix {

namespace {

constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidParameter = 87;
constexpr int kExecuteDone = 42;

// The last component of a Windows-style path: what the user sees named in the dialogs.
std::string lastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    const std::size_t slash = p.find_last_of('\\');
    if (slash == std::string::npos || slash + 1 == p.size()) return p;
    return p.substr(slash + 1);
}

std::string trashFailure(const std::string& name, const std::string& reason) {
    return "Impossible d'envoyer «\u00A0" + name + "\u00A0» dans la Corbeille\u00A0: " + reason;
}

// The reason is noted in the operation; it is shown unless the caller gathers the reasons.
int fail(SHFILEOPSTRUCTA& op, PlatformServices& services, const std::string& name, const std::string& reason,
         int code) {
    op.failure = reason;
    if (!(op.fFlags & FOF_NOERRORUI)) services.showMessage(trashFailure(name, reason), "Erreur", MessageKind::Error);
    return code;
}

// Regular files below a folder, at any depth, symbolic links not followed.
long filesInFolder(const std::string& posixFolder) {
    static thread_local long count;
    count = 0;
    ::nftw(posixFolder.c_str(),
           [](const char*, const struct stat* st, int type, FTW*) {
               if (type == FTW_F && S_ISREG(st->st_mode)) ++count;
               return 0;
           },
           32, FTW_PHYS);
    return count;
}

std::string folderLine(const std::string& windowsPath) {
    std::string p = windowsPath;
    while (p.size() > 3 && p.back() == '\\') p.pop_back();
    const std::size_t slash = p.find_last_of('\\');
    if (slash == std::string::npos) return {};   // a drive: held by no folder
    return p.substr(0, slash == 2 ? 3 : slash);   // "C:\" for what lies at a drive's root
}

}  // namespace

std::string trashQuestion(const std::string& windowsPath, const DriveTable& drives) {
    // The desktop's texts are the program's own too: French spacing, counts grouped.
    std::string text =
        "Voulez-vous vraiment envoyer «\u00A0" + lastComponent(windowsPath) + "\u00A0» dans la Corbeille\u00A0?";
    const std::string holder = folderLine(windowsPath);
    const std::optional<std::string> posix = drives.toPosix(windowsPath);
    struct stat st {};
    const bool folder = posix && ::lstat(posix->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (holder.empty() && !folder) return text;
    text += "\n";
    text += holder.empty() ? "Lecteur " + windowsPath : "Dans " + holder;
    if (folder) {
        const long n = filesInFolder(*posix);
        text += n == 0   ? std::string(", dossier vide")
                : n == 1 ? std::string(", avec le fichier qu'il contient")
                         : ", avec les " + groupThousands(static_cast<unsigned long long>(n)) + " fichiers qu'il contient";
    }
    return text;
}

int SHFileOperationA(SHFILEOPSTRUCTA& op, PlatformServices& services) {
    op.fAnyOperationsAborted = false;
    const std::string name = lastComponent(op.pFrom);
    // Only the recoverable deletion exists here: a user's file is never erased outright.
    op.failure.clear();
    op.trashed.reset();
    if (op.wFunc != FO_DELETE || !(op.fFlags & FOF_ALLOWUNDO))
        return fail(op, services, name, "opération non prise en charge.", kErrorInvalidParameter);
    const std::optional<std::string> posix = services.drives().toPosix(op.pFrom);
    if (op.pFrom.empty() || !posix) return fail(op, services, name, "chemin introuvable.", kErrorPathNotFound);
    if (*posix == "/")
        return fail(op, services, name, "la racine du système ne peut pas être supprimée.", kErrorAccessDenied);
    struct stat st {};
    if (::lstat(posix->c_str(), &st) != 0) {
        const int err = errno;
        return fail(op, services, name,
                    err == ENOENT || err == ENOTDIR ? std::string("fichier introuvable.") : std::string(std::strerror(err)),
                    err == ENOENT ? kErrorFileNotFound : kErrorPathNotFound);
    }

    if (!(op.fFlags & FOF_NOCONFIRMATION) && !services.confirmDeletion(trashQuestion(op.pFrom, services.drives()))) {
        op.fAnyOperationsAborted = true;
        return kShellCancelled;
    }
    if (op.lastCheck && !op.lastCheck()) {
        op.fAnyOperationsAborted = true;
        return kShellCancelled;
    }

    GFile* file = g_file_new_for_path(posix->c_str());
    GError* error = nullptr;
    const bool done = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!done) {
        const std::string reason = error ? error->message : "échec.";
        if (error) g_error_free(error);
        return fail(op, services, name, reason, kErrorAccessDenied);
    }
    op.trashed = findTrashedItem(*posix, {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    return 0;
}

int ShellExecuteA(const std::string& file, const std::string& /*directory*/, int /*showCommand*/,
                  PlatformServices& services) {
    const std::optional<std::string> posix = services.drives().toPosix(file);
    if (!posix) {
        // A text without a drive ("(1234)") names no file; an unknown drive names no path.
        const bool hasDrive = file.size() >= 2 && file[1] == ':';
        return hasDrive ? kErrorPathNotFound : kErrorFileNotFound;
    }
    struct stat st {};
    if (::stat(posix->c_str(), &st) != 0) {
        if (errno == EACCES) return kErrorAccessDenied;
        const std::size_t slash = posix->find_last_of('/');
        const std::string parent = slash == std::string::npos ? std::string(".")
                                   : slash == 0 ? std::string("/") : posix->substr(0, slash);
        struct stat pst {};
        const bool parentIsFolder = ::stat(parent.c_str(), &pst) == 0 && S_ISDIR(pst.st_mode);
        return parentIsFolder ? kErrorFileNotFound : kErrorPathNotFound;
    }
    return services.launch(*posix) ? kExecuteDone : kShellNoAssociation;
}

bool launchDefaultApplication(const std::string& posixPath) {
    GFile* file = g_file_new_for_path(posixPath.c_str());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE,
                                        nullptr, nullptr);
    const char* type = info ? g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE) : nullptr;
    GAppInfo* app = type ? g_app_info_get_default_for_type(type, FALSE) : nullptr;
    bool launched = false;
    if (app) {
        // The application the lookup found, and no other: a second lookup (an opener of the
        // desktop's) may find none, or another one.
        GList files{file, nullptr, nullptr};
        GError* error = nullptr;
        launched = g_app_info_launch(app, &files, nullptr, &error);
        if (error) g_error_free(error);
        g_object_unref(app);
    }
    if (info) g_object_unref(info);
    g_object_unref(file);
    return launched;
}

int ShellServices::fileOperation(SHFILEOPSTRUCTA& op) { return SHFileOperationA(op, *this); }

std::vector<std::string> ShellServices::deletionLockFiles() const { return deletionLockPaths(); }

int ShellServices::shellExecute(const std::string& file, const std::string& directory, int showCommand) {
    return ShellExecuteA(file, directory, showCommand, *this);
}

}  // namespace parelix
