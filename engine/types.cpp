#include "types.h"

#include <algorithm>

namespace kdb {

namespace {

bool sameName(const QString& a, const QString& b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

const FieldDef* TableDef::find(const QString& fieldName) const
{
    const int i = indexOf(fieldName);
    return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
}

int TableDef::indexOf(const QString& fieldName) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (sameName(fields[i].name, fieldName))
            return static_cast<int>(i);
    }
    return -1;
}

QString tableNameForFile(const QString& fileName)
{
    QString name = fileName.trimmed();
    const int slash =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (slash >= 0)
        name.remove(0, slash + 1);
    if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        name.chop(3);
    return name.toLower();
}

const char* typeName(FieldType type)
{
    switch (type) {
    case FieldType::Unknown:
        return "UNKNOWN";
    case FieldType::AutoInc:
        return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case FieldType::Integer:
        return "INTEGER";
    case FieldType::SmallInt:
        return "SMALLINT";
    case FieldType::Float:
        return "DOUBLE";
    case FieldType::Boolean:
        return "BOOLEAN";
    case FieldType::Date:
        return "DATE";
    case FieldType::String:
        return "VARCHAR";
    case FieldType::Memo:
        return "TEXT_MEMO";
    case FieldType::Graphic:
        return "BLOB_GRAPHIC";
    }
    return "UNKNOWN";
}

bool isTextType(FieldType type)
{
    return type == FieldType::String || type == FieldType::Memo;
}

bool isIntegerType(FieldType type)
{
    return type == FieldType::AutoInc || type == FieldType::Integer || type == FieldType::SmallInt;
}

} // namespace kdb
