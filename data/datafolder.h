#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace kdb {
class Database;
}

namespace kadrol {

// Builds what a fresh installation brings: the Data folder with every table and the rows that
// ship with it (fixed lists, currencies, field descriptions of the selection module), and the
// picture store in the program folder. The schema, the rows and the pictures are compiled into
// the program (data/schema.sql, data/pictures.sql, data/rows/*.tsv, data/pictures/*.png).
// The program itself never creates or restructures a table; only these builders do.

// The folders beside the program.
inline const char* const dataFolderName = "Data";
inline const char* const photoFolderName = "Foto";
inline const char* const cvFolderName = "CV";
inline const char* const templateFolderName = "template";

// The script that creates every table and index of a Data folder.
QString schemaScript();
// The script that creates the picture table PICTR of the program folder.
QString picturesScript();

// The rows of one shipped table as its data file gives them: the store table name, the column
// names of the header line, and each row's cells as text ("" for an empty, null cell).
struct ShippedTable {
    QString table;  // e.g. "sfld"
    QString source; // the data file, for messages: "rows/sfld.tsv"
    QStringList columns;
    std::vector<QStringList> rows;
    std::vector<int> lines; // each row's line number in the data file, for messages
};
// Every shipped table, in file-name order. Error when a data file is malformed (a row with a
// different number of cells than its header).
std::vector<ShippedTable> shippedTables();

// A picture of the picture store: its PICTR key and the PNG bytes.
struct ShippedPicture {
    int key;
    QString file; // e.g. "splash.png"
    QByteArray png;
};
std::vector<ShippedPicture> shippedPictures();

// Writes the shipped rows into a database whose tables are still empty (inside the caller's
// transaction).
void loadShippedRows(kdb::Database& db);

// Creates a fresh Data folder in dir, creating dir when it is missing, with every table and
// the shipped rows. The store is built aside (in a hidden folder inside dir) and moved into
// place complete, so that a build cut off, even by a killed process, never leaves a store
// without its rows; what such a build left behind is removed by the next one. Refuses with a
// kdb::Error (Russian message naming the folder) when dir is not a folder or already holds a
// store or any other file (also when another run put its store there meanwhile), and when
// the folder cannot be created or written. On failure nothing is left behind: a folder it
// created is removed again and an existing empty folder stays empty.
void createDataFolder(const QString& dir);

// The shipped rows a Data folder lacks, found by their keys: tables holding none of theirs (a
// folder whose build was cut off) and tables missing some ("sfld (нет 2 из 60)").
struct ShippedRowsCheck {
    QStringList emptyTables;
    QStringList partialTables;
};
ShippedRowsCheck checkShippedRows(kdb::Database& db);

// Creates the picture store in the program folder (which must exist and hold no store yet)
// with the pictures of rows 1, 3, 5, 6, 7 and 9, built aside and moved into place complete.
void createPictureStore(const QString& programDir);

// Makes the program folder ready to run: creates it when missing, the Data folder when it is
// missing (an existing Data folder is never touched, even when it is empty), the folders Foto,
// CV and template, and the picture store when the folder holds none. Safe to run again.
void prepareProgramFolder(const QString& programDir);

} // namespace kadrol
