#pragma once
// The duplicate groups as a list to read outside the program: CSV in UTF-8 with the quoting
// every spreadsheet and CSV reader knows (RFC 4180: fields holding a comma, a quote or a line
// break in quotes, quotes doubled, lines ended by CR LF). One header line, then one line a
// member, group by group in DblList's order:
//   Groupe,Taille (octets),Chemin,Chemin système,Référence
//   1,200000000,"C:\home\a,b.bin",/home/a,b.bin,non
// Names are the file system's bytes, written as they are.
#include <functional>
#include <string>

#include "platform/Drives.h"
#include "results/ResultTrees.h"

namespace parelix {

constexpr const char* kDuplicateListHeader = "Groupe,Taille (octets),Chemin,Chemin système,Référence";

// The save dialog's caption and the name it offers.
constexpr const char* kSaveListCaption = "Enregistre la liste des doubles";
constexpr const char* kSaveListName = "doubles.csv";
// The log's line once the list is written, followed by the file's path.
constexpr const char* kListSavedLog = "Liste des doubles enregistrée dans ";
// "Impossible d'enregistrer la liste des doubles dans « PATH » : REASON"
std::string saveListFailure(const std::string& path, const std::string& reason);

// isReference: whether a DirList file node lies in a reference folder (never deleted).
std::string duplicateListCsv(const ResultTrees& trees, const DriveTable& drives,
                             const std::function<bool(NodeId)>& isReference);

// One field, quoted when it must be.
std::string csvField(const std::string& text);

}  // namespace parelix
