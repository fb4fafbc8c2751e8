#pragma once

#include <QString>

namespace kadrol {

// Where the candidate card finds a candidate's photo and CV file. RESERV.DB keeps only a name:
// `Foto` the photo's file name inside the folder Foto beside the program, `Cv` the CV's path
// relative to the folder CV beside the program, or its full path when the file lies elsewhere.
// Names stored by other workstations may use either separator ("Иванов\резюме.doc",
// "Иванов/резюме.doc"); both are read the same, and paths are built with the platform's own.

// The stored name with both separators turned into the platform's one.
QString nativeStoredName(const QString& stored);

// Whether a stored name is a full path: it starts at a root ("/x", "\x"), a drive ("C:\x") or
// a network share ("\\server\x").
bool isFullStoredPath(const QString& stored);

// The program folder, the platform separator, "Foto", the separator and the stored name; an
// empty text for an empty name.
QString photoPath(const QString& programDir, const QString& stored);

// The CV file of a stored name: a full stored path as it stands, otherwise the program folder,
// the platform separator, "CV", the separator and the stored name; empty for an empty name.
QString cvPath(const QString& programDir, const QString& stored);

// The folder the CV chooser starts in (the program folder's CV).
QString cvFolder(const QString& programDir);
QString photoFolder(const QString& programDir);

// The name to store for a CV file chosen at a full path. A file inside the CV folder (or one of
// its subfolders) is stored relative to it, the subfolder kept; a file anywhere else is stored
// with its full path, so that it is opened from there later. The folder is recognised without
// regard to letter case, as the data module's upper-case ProgramFolder compares it, and
// whichever separators either path is written with. programFolder: the program folder in any
// letter case (the data module's ProgramFolder will do).
QString storedCvName(const QString& programFolder, const QString& chosenPath);

// The file name of a chosen photo without its folder, as `Foto` stores it.
QString storedPhotoName(const QString& chosenPath);

} // namespace kadrol
