#pragma once

// Reads the case files of the engine tests (data/*.txt):
//
//   # a comment
//   [name of the case]
//   key: value
//   sql: first line
//     a continuation line (two leading blanks, which are dropped)
//
// A key may appear several times (row:, tie:). Blank lines and comments are skipped.

#include "store.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <vector>

namespace casefile {

struct Entry {
    QString key;
    QString value;
};

struct Case {
    QString name;
    int line = 0;
    std::vector<Entry> entries;

    bool has(const QString& key) const
    {
        for (const Entry& entry : entries) {
            if (entry.key == key)
                return true;
        }
        return false;
    }
    QString value(const QString& key) const
    {
        for (const Entry& entry : entries) {
            if (entry.key == key)
                return entry.value;
        }
        return QString();
    }
};

inline QString dataPath(const QString& fileName)
{
    const QByteArray dir = qgetenv("KADROL_TEST_DATA");
    return (dir.isEmpty() ? QStringLiteral("data") : QString::fromLocal8Bit(dir)) +
           QLatin1Char('/') + fileName;
}

inline std::vector<Case> read(const QString& fileName)
{
    std::vector<Case> cases;
    QFile file(dataPath(fileName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read the case file %s", qPrintable(file.fileName()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            Case c;
            c.name = line.mid(1, line.lastIndexOf(QLatin1Char(']')) - 1);
            c.line = i + 1;
            cases.push_back(c);
            continue;
        }
        if (cases.empty())
            qFatal("%s:%d: text before the first case", qPrintable(fileName), i + 1);
        Case& c = cases.back();
        if (line.startsWith(QLatin1String("  "))) {
            if (c.entries.empty())
                qFatal("%s:%d: continuation without a key", qPrintable(fileName), i + 1);
            QString& value = c.entries.back().value;
            if (!value.isEmpty())
                value += QLatin1Char('\n');
            value += line.mid(2);
            continue;
        }
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            qFatal("%s:%d: expected 'key: value'", qPrintable(fileName), i + 1);
        QString value = line.mid(colon + 1);
        if (value.startsWith(QLatin1Char(' ')))
            value.remove(0, 1);
        c.entries.push_back({line.left(colon).trimmed(), value});
    }
    return cases;
}

// A field of a fixture table as the engine reads it back: a lone integer key is the table's
// own counter there.
inline kdb::FieldDef fieldFromDeclared(const QString& name, const QString& declared,
                                       bool primaryKey)
{
    kdb::FieldDef field = kdb::fieldDefFromDeclared(name, declared);
    field.primaryKey = primaryKey;
    if (primaryKey && field.type == kdb::FieldType::Integer)
        field.type = kdb::FieldType::AutoInc;
    return field;
}

} // namespace casefile
