// The schema in the server's words. The schema and the test fixtures are written once, in the
// embedded store's SQL; this file turns a script into what PostgreSQL needs, and rewrites the
// statements the engine writes (placeholders, quoted names) for the server.
#include "pgschema.h"

#include "dialect.h"
#include "error.h"

namespace kdb {

namespace {

enum class Tok { Space, Word, Quoted, String, Punct, Comment };

struct Token {
    Tok kind;
    QString text;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Splits a script into tokens; texts and names keep their quotes.
std::vector<Token> tokenize(const QString& sql)
{
    std::vector<Token> tokens;
    const int n = static_cast<int>(sql.size());
    int i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const int start = i;
        if (c.isSpace()) {
            while (i < n && sql.at(i).isSpace())
                ++i;
            tokens.push_back({Tok::Space, sql.mid(start, i - start)});
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
            tokens.push_back({Tok::Comment, sql.mid(start, i - start)});
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const int end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            tokens.push_back({Tok::Comment, sql.mid(start, i - start)});
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (sql.at(i) == c) {
                    if (i + 1 < n && sql.at(i + 1) == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            tokens.push_back(
                {c == QLatin1Char('"') ? Tok::Quoted : Tok::String, sql.mid(start, i - start)});
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            tokens.push_back({Tok::Word, sql.mid(start, i - start)});
        } else {
            ++i;
            tokens.push_back({Tok::Punct, sql.mid(start, 1)});
        }
    }
    return tokens;
}

bool isWord(const Token& t, const char* word)
{
    return t.kind == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Names compare without regard to case in the embedded store; the server keeps every name in
// lower case, so a name quoted in any case finds its column.
QString foldedName(const QString& quoted)
{
    return quoted.toLower();
}

// The meaningful tokens of a column definition (no blanks or comments).
std::vector<const Token*> solid(const std::vector<Token>& tokens, size_t from, size_t to)
{
    std::vector<const Token*> out;
    for (size_t i = from; i < to; ++i)
        if (tokens[i].kind != Tok::Space && tokens[i].kind != Tok::Comment)
            out.push_back(&tokens[i]);
    return out;
}

QString storeTypeName(const QString& declared, const Dialect& dialect)
{
    for (const auto& [ours, theirs] : dialect.storeTypes)
        if (declared.compare(ours, Qt::CaseInsensitive) == 0)
            return theirs;
    return declared;
}

size_t matchingClose(const std::vector<Token>& tokens, size_t open);

// One column definition (or table constraint) of CREATE TABLE, rewritten; key receives the
// column's quoted name when it is a single integer primary key.
QString columnDefinition(const std::vector<Token>& tokens, size_t from, size_t to,
                         const Dialect& dialect, const QString& table, QString& key,
                         QStringList& names)
{
    const std::vector<const Token*> words = solid(tokens, from, to);
    if (words.empty())
        return QString();
    const Token& first = *words.front();
    if (isWord(first, "primary") || isWord(first, "unique") || isWord(first, "check") ||
        isWord(first, "constraint") || isWord(first, "foreign")) {
        QString text;
        size_t i = from;
        // The embedded store lets a column of a key of several columns stay empty (a request's
        // line without its candidate yet); the server keeps that with a unique constraint,
        // named as its key so that the engine still reads those columns as the key.
        if (isWord(first, "primary") && words.size() > 1 && isWord(*words[1], "key")) {
            text = QStringLiteral("CONSTRAINT %1_pkey UNIQUE").arg(table);
            while (i < to && !isWord(tokens[i], "key"))
                ++i;
            ++i;
        }
        for (; i < to; ++i)
            text += tokens[i].kind == Tok::Quoted ? foldedName(tokens[i].text) : tokens[i].text;
        return text.trimmed();
    }
    const QString written =
        first.kind == Tok::Quoted ? first.text.mid(1, first.text.size() - 2) : first.text;
    if (written != written.toLower())
        names << QStringLiteral("COMMENT ON COLUMN \"%1\".\"%2\" IS '%3';\n")
                     .arg(table, written.toLower(), written);
    const QString name = first.kind == Tok::Quoted
                             ? foldedName(first.text)
                             : QLatin1Char('"') + first.text.toLower() + QLatin1Char('"');
    QString text = name;
    size_t i = 1;
    if (words.size() >= 4 && isWord(*words[1], "integer") && isWord(*words[2], "primary") &&
        isWord(*words[3], "key")) {
        key = name;
        if (words.size() >= 5 && isWord(*words[4], "autoincrement")) {
            text += QStringLiteral(" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
            i = 5;
        } else {
            text += QStringLiteral(" integer PRIMARY KEY");
            i = 4;
        }
    } else if (words.size() >= 2 && words[1]->kind == Tok::Word) {
        text += QLatin1Char(' ') + storeTypeName(words[1]->text, dialect);
        i = 2;
    }
    for (; i < words.size(); ++i) {
        const Token& t = *words[i];
        const bool glue = t.kind == Tok::Punct || (i > 0 && words[i - 1]->kind == Tok::Punct &&
                                                   words[i - 1]->text == QLatin1String("("));
        if (!glue)
            text += QLatin1Char(' ');
        if (isWord(t, "check")) {
            // The condition keeps its name and its text as the schema writes it, so that a
            // refused value is reported with the condition the user can read.
            const QString constraint = QStringLiteral("%1_%2_check").arg(table, written.toLower());
            text += QStringLiteral("CONSTRAINT \"%1\" ").arg(constraint);
            const size_t at = static_cast<size_t>(&t - tokens.data());
            size_t open = at + 1;
            while (open < to && tokens[open].kind == Tok::Space)
                ++open;
            if (open < to && tokens[open].text == QLatin1String("(")) {
                const size_t close = matchingClose(tokens, open);
                QString condition;
                for (size_t k = open + 1; k < close; ++k)
                    condition += tokens[k].text;
                names << QStringLiteral("COMMENT ON CONSTRAINT \"%1\" ON \"%2\" IS %3;\n")
                             .arg(constraint, table,
                                  Dialect::postgres().quoteString(condition.trimmed()));
            }
        }
        text += t.kind == Tok::Quoted ? foldedName(t.text) : t.text;
    }
    return text;
}

// CREATE TABLE with the row id column the engine reads every table by: the key itself where
// the table has a single integer key (as in the embedded store), else a number of its own.
QString createTable(const std::vector<Token>& tokens, size_t open, size_t close,
                    const Dialect& dialect, const QString& table, QStringList& names)
{
    QStringList definitions;
    QString key;
    int depth = 0;
    size_t start = open + 1;
    for (size_t i = open + 1; i <= close; ++i) {
        const Token& t = tokens[i];
        if (t.kind == Tok::Punct && t.text == QLatin1String("("))
            ++depth;
        else if (t.kind == Tok::Punct && t.text == QLatin1String(")") && depth > 0)
            --depth;
        else if (i == close ||
                 (depth == 0 && t.kind == Tok::Punct && t.text == QLatin1String(","))) {
            const QString d = columnDefinition(tokens, start, i, dialect, table, key, names);
            if (!d.isEmpty())
                definitions << d;
            start = i + 1;
        }
    }
    const QString rowId =
        key.isEmpty()
            ? QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY UNIQUE")
            : QStringLiteral("rowid bigint GENERATED ALWAYS AS (%1) STORED UNIQUE").arg(key);
    // Last, so that a whole-row insert by position fills the table's own columns.
    definitions.append(rowId);
    return QStringLiteral("(\n    ") + definitions.join(QStringLiteral(",\n    ")) +
           QStringLiteral("\n)");
}

size_t matchingClose(const std::vector<Token>& tokens, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < tokens.size(); ++i) {
        if (tokens[i].kind != Tok::Punct)
            continue;
        if (tokens[i].text == QLatin1String("("))
            ++depth;
        else if (tokens[i].text == QLatin1String(")") && --depth == 0)
            return i;
    }
    throw Error(Error::Code::Syntax, QStringLiteral("Схема: не закрыта скобка «(»."));
}

} // namespace

QString serverSchemaPrelude()
{
    // Russian order without regard to letter case: ICU's root collation at the second strength
    // (letters and accents count, case does not), which puts Latin before Cyrillic, sorts Ё as
    // Е and only breaks a tie of Е and Ё. Not deterministic, so "=" under it ignores case too,
    // as RUS does in the embedded store.
    return QStringLiteral(
        "CREATE DOMAIN kdb_boolean AS smallint;\n"
        "CREATE DOMAIN kdb_memo AS text;\n"
        "CREATE DOMAIN kdb_graphic AS bytea;\n"
        "CREATE COLLATION rus (provider = icu, locale = 'und-u-ks-level2', deterministic = "
        "false);\n"
        "CREATE FUNCTION kdb_upper(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL "
        "SAFE AS $$SELECT upper($1 COLLATE \"und-x-icu\")$$;\n"
        // The search form: upper case with Ё written as Е, so that "ел" finds "Ёлкин".
        "CREATE FUNCTION kdb_search(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL "
        "SAFE AS $$SELECT replace(upper($1 COLLATE \"und-x-icu\"), 'Ё', 'Е')$$;\n"
        "CREATE TABLE kdb_schema (version integer NOT NULL);\n");
}

QString serverSchemaScript(const QString& schemaScript)
{
    const Dialect& dialect = Dialect::postgres();
    const std::vector<Token> tokens = tokenize(schemaScript);
    QString out;
    out.reserve(schemaScript.size() + schemaScript.size() / 4);
    // The server keeps names in lower case; each column's name as the schema writes it
    // ("NameF") is kept as the column's comment, and the store hands it out from there.
    QStringList names;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Tok::Comment)
            continue;
        if (isWord(t, "create")) {
            // CREATE [TEMP] TABLE name ( ... )
            size_t j = i + 1;
            std::vector<size_t> seen;
            while (j < tokens.size() && seen.size() < 4) {
                if (tokens[j].kind != Tok::Space && tokens[j].kind != Tok::Comment)
                    seen.push_back(j);
                if (tokens[j].kind == Tok::Punct && tokens[j].text == QLatin1String("("))
                    break;
                ++j;
            }
            if (seen.size() >= 3 && isWord(tokens[seen[0]], "table") &&
                tokens[seen[2]].text == QLatin1String("(")) {
                const Token& name = tokens[seen[1]];
                const QString table = name.kind == Tok::Quoted
                                          ? foldedName(name.text).mid(1).chopped(1)
                                          : name.text.toLower();
                out += QStringLiteral("CREATE TABLE \"%1\" ").arg(table);
                const size_t close = matchingClose(tokens, seen[2]);
                out += createTable(tokens, seen[2], close, dialect, table, names);
                i = close;
                continue;
            }
        }
        if (isWord(t, "create")) {
            // CREATE [UNIQUE] INDEX name ON table (terms): every term sorts empty values first,
            // as the engine's orders ask, so that the index serves them.
            size_t j = i + 1;
            std::vector<size_t> seen;
            while (j < tokens.size() &&
                   !(tokens[j].kind == Tok::Punct && (tokens[j].text == QLatin1String("(") ||
                                                      tokens[j].text == QLatin1String(";")))) {
                if (tokens[j].kind == Tok::Word || tokens[j].kind == Tok::Quoted)
                    seen.push_back(j);
                ++j;
            }
            const bool index =
                !seen.empty() && (isWord(tokens[seen[0]], "index") ||
                                  (seen.size() > 1 && isWord(tokens[seen[0]], "unique") &&
                                   isWord(tokens[seen[1]], "index")));
            if (index && j < tokens.size() && tokens[j].text == QLatin1String("(")) {
                for (size_t k = i; k <= j; ++k)
                    out +=
                        tokens[k].kind == Tok::Quoted ? foldedName(tokens[k].text) : tokens[k].text;
                const size_t close = matchingClose(tokens, j);
                int depth = 0;
                for (size_t k = j + 1; k <= close; ++k) {
                    const Token& u = tokens[k];
                    if (u.kind == Tok::Comment)
                        continue;
                    if (u.kind == Tok::Punct && u.text == QLatin1String("("))
                        ++depth;
                    if (depth == 0 && u.kind == Tok::Punct &&
                        (u.text == QLatin1String(",") || k == close))
                        out += QStringLiteral(" NULLS FIRST");
                    // Rows equal in an index's terms follow their row ids, as the engine's
                    // orders end; SQLite's indexes hold the row id the same way. With it the
                    // server reads a whole order from the index, without sorting.
                    if (k == close && !isWord(tokens[seen[0]], "unique"))
                        out += QStringLiteral(", rowid");
                    if (u.kind == Tok::Punct && u.text == QLatin1String(")") && k != close)
                        --depth;
                    out += u.kind == Tok::Quoted ? foldedName(u.text) : u.text;
                }
                i = close;
                continue;
            }
        }
        if (t.kind == Tok::Word && (t.text == QLatin1String("X") || t.text == QLatin1String("x")) &&
            i + 1 < tokens.size() && tokens[i + 1].kind == Tok::String) {
            // A blob written X'89504E47'.
            const QString hex = tokens[i + 1].text.mid(1, tokens[i + 1].text.size() - 2);
            out += QStringLiteral("'\\x%1'::bytea").arg(hex);
            ++i;
            continue;
        }
        out += t.kind == Tok::Quoted ? foldedName(t.text) : t.text;
    }
    if (!names.isEmpty()) {
        out += QStringLiteral(";\n");
        out += names.join(QString());
    }
    return out;
}

ServerStatement serverStatement(const QString& sql, bool script)
{
    ServerStatement s;
    const std::vector<Token> tokens = tokenize(sql);
    s.text.reserve(sql.size() + 16);
    int positional = 0;
    bool firstWord = true;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        switch (t.kind) {
        case Tok::Quoted:
            s.text += foldedName(t.text);
            break;
        case Tok::Word:
            if (firstWord) {
                s.insert = isWord(t, "insert");
                firstWord = false;
            }
            if (isWord(t, "returning"))
                s.returning = true;
            s.text += t.text;
            break;
        case Tok::Punct:
            if (!script && t.text == QLatin1String("?")) {
                s.text += QLatin1Char('$') + QString::number(++positional);
                s.parameterCount = positional;
            } else if (!script && t.text == QLatin1String(":") && i + 1 < tokens.size() &&
                       tokens[i + 1].kind == Tok::Word && !tokens[i + 1].text.at(0).isDigit() &&
                       !(i > 0 && tokens[i - 1].text == QLatin1String(":"))) {
                const QString name = tokens[i + 1].text;
                int index = -1;
                for (int k = 0; k < s.names.size(); ++k)
                    if (s.names[k].compare(name, Qt::CaseInsensitive) == 0)
                        index = k;
                if (index < 0) {
                    s.names << name;
                    index = static_cast<int>(s.names.size()) - 1;
                }
                s.text += QLatin1Char('$') + QString::number(index + 1);
                s.parameterCount = static_cast<int>(s.names.size());
                ++i;
            } else {
                s.text += t.text;
            }
            break;
        default:
            s.text += t.text;
            break;
        }
    }
    return s;
}

QString declaredFromServer(const QString& formatted, const QString& typeName, bool domain)
{
    if (domain) {
        for (const auto& [ours, theirs] : Dialect::postgres().storeTypes)
            if (typeName == theirs)
                return ours;
        return typeName.toUpper();
    }
    struct Known {
        const char* server;
        const char* declared;
    };
    static const Known known[] = {
        {"integer", "INTEGER"},
        {"bigint", "INTEGER"},
        {"smallint", "SMALLINT"},
        {"double precision", "DOUBLE"},
        {"real", "DOUBLE"},
        {"numeric", "DOUBLE"},
        {"date", "DATE"},
        {"text", "TEXT"},
        {"bytea", "BLOB_GRAPHIC"},
        {"boolean", "BOOLEAN"},
        {"character varying", "VARCHAR"},
    };
    const QString f = formatted.trimmed();
    if (f.startsWith(QLatin1String("character varying(")))
        return QStringLiteral("VARCHAR") + f.mid(17);
    if (f.startsWith(QLatin1String("character(")))
        return QStringLiteral("CHAR") + f.mid(9);
    for (const Known& k : known)
        if (f == QLatin1String(k.server))
            return QString::fromLatin1(k.declared);
    return QString();
}

} // namespace kdb
