#pragma once
// The duplicate groups as a list to read outside the program: CSV in UTF-8 with the quoting
// every spreadsheet and CSV reader knows (RFC 4180: fields holding a comma, a quote or a line
// break in quotes, quotes doubled, lines ended by CR LF). One header line, then one line a
// member, group by group in DblList's order:
//   Groupe,Taille (octets),Chemin,Chemin système,Référence
//   1,200000000,"C:\home\a,b.bin",/home/a,b.bin,non
// The file is always UTF-8. A name that is not (a Linux name is any bytes) shows U+FFFD for
// each byte out of place in "Chemin", and is written "\xHH" byte by byte in "Chemin système"
// (two upper-case hexadecimal digits): a system path never holds a backslash otherwise, so
// the name's bytes come back by turning each "\xHH" into its byte.
#include <functional>
#include <string>
#include <string_view>

#include "platform/Drives.h"
#include "results/Messages.h"
#include "results/ResultTrees.h"

namespace parelix {

// The header, the dialog's caption and offered name, and the log's line: results/Messages.h.
// "Impossible d'enregistrer la liste des doubles dans « PATH » : REASON"
std::string saveListFailure(const std::string& path, const std::string& reason);

// isReference: whether a DirList file node lies in a reference folder (never deleted).
std::string duplicateListCsv(const ResultTrees& trees, const DriveTable& drives,
                             const std::function<bool(NodeId)>& isReference);

// One field, quoted when it must be.
std::string csvField(const std::string& text);
// The path as UTF-8: each byte that is not part of well-formed UTF-8 becomes U+FFFD.
std::string shownUtf8(std::string_view path);
// The POSIX path as UTF-8: each such byte becomes "\xHH".
std::string escapedSystemPath(std::string_view posixPath);

}  // namespace parelix
