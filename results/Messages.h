#pragma once
// The program's own texts beyond the Parts', in one place, grouped by subject.
// French typography: a no-break space (U+00A0) before : ; ? ! and inside « », a narrow
// no-break space (U+202F) between thousands, a no-break space between a number and its unit.

namespace parelix {

// --- The saved list of duplicates ------------------------------------------------------

// Why nothing was written over a FIFO, a device or a socket (opening one may wait for a
// reader, or write to a device); after « Impossible d'enregistrer … : ».
constexpr const char* kSaveListNotRegular = "Pas un fichier ordinaire (tube nommé, périphérique ou socket)";

// --- The deletion lock --------------------------------------------------------------------

// The log's line, once, when no lock file can be used (each deletion still checks the disk).
constexpr const char* kNoDeletionLock =
    "Aucun fichier de verrou utilisable\u00A0: les effacements des autres fenêtres de Parelix ne sont pas attendus.";

}  // namespace parelix
