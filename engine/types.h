#pragma once

#include <QString>
#include <vector>

namespace kdb {

// Field types of the stored tables. The schema declares them with these SQL type names, which
// the engine reads back from the store: INTEGER PRIMARY KEY AUTOINCREMENT, INTEGER, SMALLINT,
// DOUBLE, BOOLEAN, DATE, VARCHAR(N), TEXT_MEMO, BLOB_GRAPHIC.
enum class FieldType {
    Unknown, // a computed query column whose values keep the store's own type
    AutoInc,
    Integer,
    SmallInt,
    Float,
    Boolean,
    Date,
    String, // text of at most size characters (size 0: no limit)
    Memo,
    Graphic,
};

struct FieldDef {
    QString name; // as the schema writes it, e.g. "NameF"
    FieldType type = FieldType::Unknown;
    int size = 0; // characters of a String field
    bool primaryKey = false;
};

struct TableDef {
    QString name; // the store's table name, lower case, e.g. "reserv"
    std::vector<FieldDef> fields;

    // The field of that name in any letter case, or null.
    const FieldDef* find(const QString& fieldName) const;
    int indexOf(const QString& fieldName) const; // -1 when absent
};

// The store's table name for a file name in any case: "Reserv.DB" -> "reserv",
// "sobesed.db" -> "sobesed", "ZAYAV" -> "zayav".
QString tableNameForFile(const QString& fileName);

const char* typeName(FieldType type);
bool isTextType(FieldType type);
bool isIntegerType(FieldType type);

} // namespace kdb
