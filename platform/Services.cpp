#include "platform/Services.h"

#include <cstdio>
#include <utility>

namespace parelix {

PlatformServices::PlatformServices(DriveTable drives) : drives_(std::move(drives)) {}

unsigned PlatformServices::driveType(std::string_view root) const { return GetDriveTypeA(drives_, root); }

void PlatformServices::showMessage(const std::string& text, const std::string& /*caption*/, MessageKind /*kind*/) {
    std::fprintf(stderr, "%s\n", text.c_str());   // no window to show it in
}

bool PlatformServices::confirmDeletion(const std::string& /*question*/) { return false; }
bool PlatformServices::confirmWalk(const std::string& /*question*/) { return false; }

bool PlatformServices::launch(const std::string& /*posixPath*/) { return false; }

std::optional<std::string> PlatformServices::askSavePath(const std::string& /*caption*/,
                                                         const std::string& /*suggestedName*/) {
    return std::nullopt;
}

bool PlatformServices::version(OsVersionInfo& info) { return GetVersionExA(info); }

int PlatformServices::fileOperation(SHFILEOPSTRUCTA& op) {
    op.fAnyOperationsAborted = true;
    op.failure = "pas de Corbeille sans bureau.";
    return kShellCancelled;
}

int PlatformServices::shellExecute(const std::string& /*file*/, const std::string& /*directory*/,
                                   int /*showCommand*/) {
    return kShellNoAssociation;
}

}  // namespace parelix
