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
constexpr std::string_view kThousandsSep = PARELIX_NNBSP;   // written by groupThousands (platform/Text.h)

// --- Sizes and counts (SpaceFigures.h) -------------------------------------------------
constexpr const char* kUnitByte = "octet";
constexpr const char* kUnitBytes = "octets";
constexpr const char* kSizeUnits[] = {"Ko", "Mo", "Go", "To", "Po"};
constexpr const char* kDecimalComma = ",";

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
// The tree walk's question, on two or three lines: "Envoyer 2 794 fichiers (458 Mo) de
// « Backups » dans la Corbeille ?", then what stays.
constexpr const char* kTreeWalkSend = "Envoyer ";
constexpr const char* kTreeWalkOneFile = " fichier (";
constexpr const char* kTreeWalkFiles = " fichiers (";
constexpr const char* kTreeWalkOf = ") de «" PARELIX_NBSP;
constexpr const char* kTreeWalkTail = PARELIX_NBSP "» dans la Corbeille" PARELIX_NBSP "?";
constexpr const char* kTreeWalkKeepsACopy = "Une copie de chaque fichier est conservée.";
constexpr const char* kTreeWalkKeepsEmptyFiles = "Les fichiers vides sont conservés.";
// A walk's one "Erreur" box: how many, then the first few paths with their reasons.
constexpr const char* kOneFailure = "Un fichier n'a pas pu être envoyé dans la Corbeille" PARELIX_NBSP ":";
constexpr const char* kFailures = " fichiers n'ont pas pu être envoyés dans la Corbeille" PARELIX_NBSP ":";
constexpr const char* kFailureReason = PARELIX_NBSP ": ";
constexpr const char* kOneMoreFailure = "\net un autre.";
constexpr const char* kMoreFailures = " autres.";   // after "\net " and the count
// The reason of a move that failed without one from the system.
constexpr const char* kMoveFailed = "échec.";

// --- Space figures under the groups tree (EspaceDblList) -------------------------------
// "Copies en trop : 2 994 (2,9 Go)", then " — Libéré : 1,2 Go" once something went.
constexpr const char* kExtraCopies = "Copies en trop" PARELIX_NBSP ": ";
constexpr const char* kFreed = " — Libéré" PARELIX_NBSP ": ";
// Its accessible name, before the first search as after.
constexpr const char* kSpaceFiguresName = "Espace occupé par les doubles";

// --- Rows' hints (RowHints.h) ----------------------------------------------------------
// A group: "3 × 80 Mo, 160 Mo à libérer".
constexpr const char* kGroupTimes = PARELIX_NBSP "×" PARELIX_NBSP;
constexpr const char* kGroupToFree = " à libérer";
constexpr const char* kReferenceRowHint = "Répertoire de référence" PARELIX_NBSP ": jamais envoyé dans la Corbeille";
// What a row's icon shows, said to screen readers (the row's accessible description).
constexpr const char* kRowFileWithCopies = "Fichier qui a des doubles";
constexpr const char* kRowFolderWithCopies = "Dossier qui contient des doubles";
constexpr const char* kRowReferenceFolder = "Répertoire de référence";

// --- The saved list of duplicates (DuplicateList.h) ------------------------------------
constexpr const char* kDuplicateListHeader = "Groupe,Taille (octets),Chemin,Chemin système,Référence";
constexpr const char* kCsvYes = "oui";
constexpr const char* kCsvNo = "non";
constexpr const char* kSaveListItem = "Enregistre la liste des doubles…";
constexpr const char* kSaveListCaption = "Enregistre la liste des doubles";
constexpr const char* kSaveListName = "doubles.csv";
constexpr const char* kSaveListFilters = "Fichiers CSV (*.csv);;Tous les fichiers (*)";
constexpr const char* kListSavedLog = "Liste des doubles enregistrée dans ";
// "Impossible d'enregistrer la liste des doubles dans « PATH » : REASON"
constexpr const char* kSaveListFailureHead = "Impossible d'enregistrer la liste des doubles dans «" PARELIX_NBSP;
constexpr const char* kSaveListFailureTail = PARELIX_NBSP "»" PARELIX_NBSP ": ";
// Why nothing was written over a FIFO, a device or a socket (opening one may wait for a
// reader, or write to a device); after « Impossible d'enregistrer … : ».
constexpr const char* kSaveListNotRegular = "Pas un fichier ordinaire (tube nommé, périphérique ou socket)";

// --- The deletion lock --------------------------------------------------------------------

// The log's line, once, when no lock file can be used (each deletion still checks the disk).
constexpr const char* kNoDeletionLock =
    "Aucun fichier de verrou utilisable\u00A0: les effacements des autres fenêtres de Parelix ne sont pas attendus.";

// The save dialog's own labels, and its question before a file is replaced ("%1": its name).
constexpr const char* kDialogLookIn = "Regarder dans" PARELIX_NBSP ":";
constexpr const char* kDialogFileName = "&Nom du fichier" PARELIX_NBSP ":";
constexpr const char* kDialogFileType = "Type de fichier" PARELIX_NBSP ":";
constexpr const char* kDialogSave = "&Enregistrer";
constexpr const char* kDialogOpen = "&Ouvrir";
constexpr const char* kDialogCancel = "Annuler";
constexpr const char* kReplaceQuestion = "«" PARELIX_NBSP "%1" PARELIX_NBSP "» existe déjà.\nVoulez-vous le remplacer" PARELIX_NBSP "?";
constexpr const char* kYes = "Oui";
constexpr const char* kNo = "Non";
constexpr const char* kErrorCaption = "Erreur";

// --- The recycle bin's question (the desktop's dialog) ---------------------------------
constexpr const char* kTrashQuestionCaption = "Confirmer la suppression";

// --- The drive tree and the two lists (selection page) ---------------------------------
constexpr const char* kDskMenuName = "Menu des disques";
constexpr const char* kExclureItem = "&Exclure de la recherche";
constexpr const char* kExclureHint = "Met le chemin sélectionné (à gauche) dans la liste des exclusions";
constexpr const char* kHomeFolderItem = "Aller au dossier &personnel";
constexpr const char* kDskHeaderName = "Disques et répertoires";
constexpr const char* kRepMenuName = "Menu des chemins où chercher";
constexpr const char* kReferenceItem = "Répertoire de &référence (jamais supprimé)";
constexpr const char* kReferenceSuffix = " (référence)";
constexpr const char* kReferenceEntryHint =
    "Répertoire de référence" PARELIX_NBSP ": ses fichiers sont comparés, jamais envoyés dans la Corbeille";
constexpr const char* kExcMenuName = "Menu des exclusions";
constexpr const char* kRemoveExclusionItem = "&Retirer de la liste d'exclusion";
constexpr const char* kAddExcludedFileItem = "&Ajouter un fichier à exclure…";
constexpr const char* kAddExcludedFileCaption = "Ajouter un fichier à exclure";
constexpr const char* kAllFilesFilter = "Tous les fichiers (*)";
// A drop from a file manager: only the machine's own files and folders are taken.
constexpr const char* kDropCaption = "Glisser-déposer";
constexpr const char* kDropNotLocal =
    "Seuls les fichiers et dossiers de cet ordinateur peuvent être déposés ici" PARELIX_NBSP ": rien n'a été ajouté.";
constexpr const char* kDropNotFolderHead = "«" PARELIX_NBSP;
constexpr const char* kDropNotFolderTail =
    PARELIX_NBSP "» n'est pas un dossier" PARELIX_NBSP ": seuls des dossiers se cherchent.";
constexpr const char* kDropUnreachableTail =
    PARELIX_NBSP "» ne se trouve pas dans l'arbre des disques, ou un chemin déjà choisi le contient.";

// --- The results page -------------------------------------------------------------------
constexpr const char* kTreeWalkItem = "Supprime les doubles de ce répertoire et de ses sous-répertoires";
constexpr const char* kProgressName = "Progression";
constexpr const char* kStatusBarName = "Barre d'état";
constexpr const char* kTrashName = "Corbeille";
constexpr const char* kTrashHint =
    "Envoie à la Corbeille l'élément sélectionné (clic)\nou l'élément qu'on y dépose (glisser-déposer)";
constexpr const char* kTrashAction = "Envoyer à la Corbeille";
constexpr const char* kSpinName = "Double précédent/suivant";
constexpr const char* kSpinUp = "Double précédent";
constexpr const char* kSpinDown = "Double suivant";
constexpr const char* kPaneHandleName = "Séparation entre les répertoires et les doubles";
constexpr const char* kPopMenuName = "Menu des résultats";
constexpr const char* kDblMenuName = "Menu des doubles";

// --- Program start and its failures ----------------------------------------------------
constexpr const char* kNoDisplay = "Parelix a besoin d'un affichage graphique (X11 ou Wayland) et n'en trouve aucun"
                                   PARELIX_NBSP "; sans écran, lancez-le par" PARELIX_NBSP ": xvfb-run -a parelix\n";
constexpr const char* kUnknownError = "Erreur inconnue";

// --- The splash window's notice ---------------------------------------------------------
constexpr const char* kNotice[] = {"Chasseur de fichiers", "en double", "Écrit par un amoureux de l'ordre",
                                   "pour faire de la place", "sur vos disques.", "Bonne chasse" PARELIX_NBSP "!"};

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

#undef PARELIX_NBSP
#undef PARELIX_NNBSP
