#pragma once
// Every text the program shows beyond the window's own captions and messages, in one place so
// that they read alike. French typography: a no-break space (U+00A0) before ":", ";", "?", "!"
// and inside « », a narrow no-break space (U+202F) between thousands, a no-break space between
// a number and its unit. Texts are UTF-8. Plain C++: the window and the session both read them.
#include <string_view>

namespace parelix {

#define PARELIX_NBSP "\u00A0"    // before : ; ? ! and a unit, inside « »
#define PARELIX_NNBSP "\u202F"   // between thousands

constexpr std::string_view kNbsp = PARELIX_NBSP;

// --- Deleting (results/Deletion.h) -----------------------------------------------------
// Followed by the path: a path that does not fit the 255 characters is never handed on cut.
constexpr const char* kPathTooLongRefusal = "Chemin trop long, impossible d'effacer" PARELIX_NBSP ": ";
// The status bar while a file's other copy is read, then the file's path.
constexpr const char* kCheckingStatus = "Vérification avant effacement" PARELIX_NBSP ": ";
// The status bar while another Parelix window's deletion is waited for, then the path that waits.
constexpr const char* kWaitingStatus = "En attente d'un autre effacement" PARELIX_NBSP ": ";
// "Plus aucune autre copie identique de « NAME », fichier conservé."
constexpr const char* kNoOtherCopyHead = "Plus aucune autre copie identique de «" PARELIX_NBSP;
constexpr const char* kNoOtherCopyTail = PARELIX_NBSP "», fichier conservé.";
// "« NAME » fait partie d'un répertoire de référence, conservé."
constexpr const char* kReferenceRefusalHead = "«" PARELIX_NBSP;
constexpr const char* kReferenceRefusalTail = PARELIX_NBSP "» fait partie d'un répertoire de référence, conservé.";
// The box of a tree walk that finds nothing to send away, and of a walk over a reference folder.
constexpr const char* kNothingInTree = "Aucun double à supprimer dans ce répertoire ni dans ses sous-répertoires.";
constexpr const char* kReferenceWalk = "Ce répertoire fait partie d'un répertoire de référence" PARELIX_NBSP
                                       ": aucun de ses fichiers n'est envoyé dans la Corbeille.";
// The tree walk's question: "Envoyer 2 994 fichiers (458 Mo) dans la Corbeille ?"
constexpr const char* kTreeWalkSend = "Envoyer ";
constexpr const char* kTreeWalkOneFile = " fichier (";
constexpr const char* kTreeWalkFiles = " fichiers (";
constexpr const char* kTreeWalkTail = ") dans la Corbeille" PARELIX_NBSP "?";
// A walk's one "Erreur" box: how many, then the first few paths with their reasons.
constexpr const char* kOneFailure = "Un fichier n'a pas pu être envoyé dans la Corbeille" PARELIX_NBSP ":";
constexpr const char* kFailures = " fichiers n'ont pas pu être envoyés dans la Corbeille" PARELIX_NBSP ":";
constexpr const char* kFailureReason = PARELIX_NBSP ": ";
constexpr const char* kOneMoreFailure = "\net un autre.";
constexpr const char* kMoreFailures = " autres.";   // after "\net " and the count
// The reason of a move that failed without one from the system.
constexpr const char* kMoveFailed = "échec.";

// --- The saved list of duplicates ------------------------------------------------------

// Why nothing was written over a FIFO, a device or a socket (opening one may wait for a
// reader, or write to a device); after « Impossible d'enregistrer … : ».
constexpr const char* kSaveListNotRegular = "Pas un fichier ordinaire (tube nommé, périphérique ou socket)";

// --- Taking deletions back (TakeBack.h) ------------------------------------------------
// PopMenu's item, Ctrl+Z in the results.
constexpr const char* kTakeBackItem = "Annule le dernier envoi dans la Corbeille";
// Its box when this search's deletions were all taken back, or none was made.
constexpr const char* kNothingToTakeBack = "Aucun envoi dans la Corbeille à annuler.";
// The log's line for each file or folder back at its place, followed by its path.
constexpr const char* kTakenBackLog = "Remis en place" PARELIX_NBSP ": ";
// The log's line for what stays in the bin: the path, then why (below).
constexpr const char* kStaysInBinLog = "Resté dans la Corbeille" PARELIX_NBSP ": ";
constexpr const char* kStaysBecause = " — ";
// Why it stays.
constexpr const char* kNotInBin = "il n'est plus dans la Corbeille (vidée entre-temps" PARELIX_NBSP "?).";
constexpr const char* kChangedInBin = "il a changé dans la Corbeille depuis son envoi.";
constexpr const char* kMangledInBin = "la Corbeille ne dit plus d'où il vient.";
constexpr const char* kPlaceTaken = "un autre fichier occupe désormais sa place, conservé.";
constexpr const char* kPlaceFolder = "un dossier occupe désormais sa place, conservé.";
constexpr const char* kDiskFull = "disque plein.";
constexpr const char* kNeverFound = "la Corbeille ne l'a pas reçu sous son nom.";
constexpr const char* kFailedBecause = "échec" PARELIX_NBSP ": ";
// The box at the end when something stays: how many, then the first few with why.
constexpr const char* kOneStays = "Un élément est resté dans la Corbeille" PARELIX_NBSP ":";
constexpr const char* kManyStay = " éléments sont restés dans la Corbeille" PARELIX_NBSP ":";

}  // namespace parelix
