#include "localsql.h"

#include "error.h"

#include <QDate>
#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

namespace kdb {

namespace {

enum class Tok { End, Name, String, Number, Param, Op, LParen, RParen, Comma, Semicolon };

struct Token {
    Tok kind = Tok::End;
    int pos = 0; // in the query text
    int length = 0;
    // Name: the last part and what stands before the last dot (empty when unqualified);
    // String: the text between the quotes; Number, Param (without the colon), Op: as written.
    QStringView text;
    QStringView qualifier;
    bool star = false;       // a name ending in ".*"
    bool quotedName = false; // the last part of a name was written in double quotes
    bool escaped = false;    // a string holding doubled quotes
    QChar quote;             // of a string
    int match = -1;          // of a parenthesis: the index of its partner
};

// One table of a FROM list.
struct Source {
    const TableDef* def = nullptr;
    QString written; // the name as the query writes it: "reserv.db", zayav.db
    QString alias;   // empty when none
    QString qualifier() const { return alias.isEmpty() ? def->name : alias; }
};

struct SelectItem {
    QString alias;
    FieldType type = FieldType::Unknown;
    bool exact = false;
    QString column;     // a plain column's name, which names the result column without an alias
    QString sql;        // of a plain column
    QString expression; // the item's store SQL, for a store that cannot sort by an alias
};

struct Scope {
    std::vector<Source> sources;
    std::vector<SelectItem> items;
    const Scope* outer = nullptr; // of a subquery
};

struct Expr {
    QString sql;
    FieldType type = FieldType::Unknown; // as far as the translator can tell
    bool exact = false;   // type is that of a stored column (or count, min, max over one)
    bool literal = false; // a quoted text; text holds it unquoted
    bool dotDate = false; // a quoted text read as a date, sql holds the date literal
    bool number = false;  // a number as written
    bool badDate = false; // a quoted text shaped like a date, of a day that does not exist
    int pos = 0;          // of a literal, for messages
    QString text;
    QString column; // the field's name when the expression is one column
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

struct DateParts {
    int day = 0;
    int month = 0;
    int year = 0;
};

// d.m.yyyy with a day and a month of one or two digits: what a date literal looks like,
// whether or not that day exists.
std::optional<DateParts> dateShape(const QString& text)
{
    DateParts parts;
    int* fields[] = {&parts.day, &parts.month, &parts.year};
    const int maxDigits[] = {2, 2, 4};
    int field = 0;
    int digits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('.')) {
            if (field == 2 || digits == 0)
                return std::nullopt;
            ++field;
            digits = 0;
        } else if (isDigit(c) && digits < maxDigits[field]) {
            *fields[field] = *fields[field] * 10 + (c.unicode() - u'0');
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (field != 2 || digits != 4)
        return std::nullopt;
    return parts;
}

bool sameName(QStringView a, QStringView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

const FieldDef* findField(const TableDef& table, QStringView name)
{
    for (const FieldDef& field : table.fields) {
        if (sameName(field.name, name))
            return &field;
    }
    return nullptr;
}

// Words that end an expression or a list and so can never be read as a column name.
constexpr const char* reservedWords[] = {
    "select", "from",   "where",   "group", "order",  "having",    "by",    "and",
    "or",     "not",    "is",      "in",    "like",   "between",   "as",    "asc",
    "desc",   "union",  "join",    "on",    "inner",  "left",      "right", "full",
    "outer",  "cross",  "natural", "when",  "then",   "else",      "end",   "distinct",
    "all",    "escape", "collate", "limit", "except", "intersect", "using"};

// Value types whose stored order is already their natural order; every other ORDER BY term
// is sorted with the Russian collation.
bool sortsWithoutCollation(FieldType type)
{
    return isIntegerType(type) || type == FieldType::Float || type == FieldType::Boolean ||
           type == FieldType::Date;
}

// Where "--" or "/*" stands outside quotes in store SQL, or -1: the store would read the rest
// of the line or the text as a comment.
int commentStart(const QString& sql)
{
    QChar quote;
    for (int i = 0; i + 1 < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            quote = c;
        else if ((c == QLatin1Char('-') && sql[i + 1] == QLatin1Char('-')) ||
                 (c == QLatin1Char('/') && sql[i + 1] == QLatin1Char('*')))
            return i;
    }
    return -1;
}

class Translator {
public:
    Translator(const QString& text, const TableResolver& resolve, const Dialect& dialect)
        : m_text(text), m_resolve(resolve), m_dialect(dialect)
    {
    }

    TranslatedSql translate()
    {
        tokenize();
        int end = static_cast<int>(m_tokens.size()) - 1; // the End token
        while (end > 0 && m_tokens[static_cast<size_t>(end) - 1].kind == Tok::Semicolon)
            --end;
        if (end == 0)
            throw Error(Error::Code::Syntax, QStringLiteral("Пустой текст запроса."));

        TranslatedSql result;
        const Token& first = peek();
        if (isWord(first, "select")) {
            std::vector<SelectItem> items;
            result.sql = select(end, nullptr, &items);
            result.isSelect = true;
            result.columnTypes.reserve(items.size());
            for (const SelectItem& item : items)
                result.columnTypes.push_back(item.exact ? item.type : FieldType::Unknown);
        } else if (isWord(first, "delete")) {
            result.sql = deleteStatement(end);
        } else if (isWord(first, "update")) {
            result.sql = updateStatement(end);
        } else if (isWord(first, "insert")) {
            result.sql = insertStatement(end);
        } else {
            fail(QStringLiteral("ожидается SELECT, DELETE, UPDATE или INSERT"), first);
        }
        result.parameterNames = std::move(m_parameterNames);
        // The last guard: whatever the text, the store must run all of what was translated.
        if (const int at = commentStart(result.sql); at >= 0)
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Ошибка в тексте запроса: перевод запроса содержит начало "
                                       "комментария («%1»).")
                            .arg(result.sql.mid(std::max(0, at - 20), 40)));
        return result;
    }

private:
    // ---- errors

    QString place(int pos) const
    {
        if (!m_text.contains(QLatin1Char('\n')))
            return QStringLiteral("позиция %1").arg(pos + 1);
        const int line = static_cast<int>(m_text.left(pos).count(QLatin1Char('\n'))) + 1;
        // lastIndexOf counts a negative start from the end: the first line starts at 0.
        const int lineStart = pos > 0 ? m_text.lastIndexOf(QLatin1Char('\n'), pos - 1) + 1 : 0;
        return QStringLiteral("строка %1, позиция %2").arg(line).arg(pos - lineStart + 1);
    }

    [[noreturn]] void failAt(const QString& detail, int pos) const
    {
        throw Error(Error::Code::Syntax,
                    QStringLiteral("Ошибка в тексте запроса: %1 (%2).").arg(detail, place(pos)));
    }

    [[noreturn]] void fail(const QString& expected, const Token& met) const
    {
        if (met.kind == Tok::End)
            throw Error(
                Error::Code::Syntax,
                QStringLiteral("Ошибка в тексте запроса: %1, а текст кончился.").arg(expected));
        failAt(
            QStringLiteral("%1, а встретилось «%2»").arg(expected, m_text.mid(met.pos, met.length)),
            met.pos);
    }

    // ---- tokens

    void tokenize()
    {
        const int size = m_text.size();
        const QChar* s = m_text.constData();
        std::vector<int> open; // indexes of the unclosed "("
        m_tokens.reserve(static_cast<size_t>(size / 3 + 2));
        int i = 0;
        while (i < size) {
            const QChar c = s[i];
            if (c.isSpace()) {
                ++i;
                continue;
            }
            const QChar after = i + 1 < size ? s[i + 1] : QChar();
            if (c == QLatin1Char('-') && after == QLatin1Char('-')) { // a comment to the line's end
                while (i < size && s[i] != QLatin1Char('\n'))
                    ++i;
                continue;
            }
            if (c == QLatin1Char('/') && after == QLatin1Char('*')) {
                const int close = m_text.indexOf(QLatin1String("*/"), i + 2);
                if (close < 0)
                    failAt(QStringLiteral("не закрыт комментарий «/*»"), i);
                i = close + 2;
                continue;
            }
            Token token;
            token.pos = i;
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                i = readQuoted(i, token);
                // "reserv.db".NameF: a quoted table name qualifying a column.
                if (c == QLatin1Char('"') && i + 1 < size && s[i] == QLatin1Char('.') &&
                    (isNameStart(s[i + 1]) || s[i + 1] == QLatin1Char('"') ||
                     s[i + 1] == QLatin1Char('*'))) {
                    token.kind = Tok::Name;
                    token.qualifier = token.text;
                    i = readNamePart(i + 1, token);
                } else {
                    token.kind = Tok::String;
                }
            } else if (isNameStart(c)) {
                token.kind = Tok::Name;
                i = readNamePart(i, token);
                while (i + 1 < size && s[i] == QLatin1Char('.') &&
                       (isNameStart(s[i + 1]) || s[i + 1] == QLatin1Char('"') ||
                        s[i + 1] == QLatin1Char('*')) &&
                       !token.star) {
                    token.qualifier = QStringView(s + token.pos, i - token.pos);
                    i = readNamePart(i + 1, token);
                }
            } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < size && isDigit(s[i + 1]))) {
                token.kind = Tok::Number;
                while (i < size && isDigit(s[i]))
                    ++i;
                if (i < size && s[i] == QLatin1Char('.')) {
                    ++i;
                    while (i < size && isDigit(s[i]))
                        ++i;
                }
                if (i < size && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                    int j = i + 1;
                    if (j < size && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
                        ++j;
                    if (j < size && isDigit(s[j])) {
                        i = j;
                        while (i < size && isDigit(s[i]))
                            ++i;
                    }
                }
                token.text = QStringView(s + token.pos, i - token.pos);
            } else if (c == QLatin1Char(':')) {
                ++i;
                if (i >= size || !isNamePart(s[i]))
                    failAt(QStringLiteral("после «:» ожидается имя параметра"), token.pos);
                while (i < size && isNamePart(s[i]))
                    ++i;
                token.kind = Tok::Param;
                token.text = QStringView(s + token.pos + 1, i - token.pos - 1);
            } else if (c == QLatin1Char('(')) {
                token.kind = Tok::LParen;
                open.push_back(static_cast<int>(m_tokens.size()));
                ++i;
            } else if (c == QLatin1Char(')')) {
                token.kind = Tok::RParen;
                if (open.empty())
                    failAt(QStringLiteral("лишняя закрывающая скобка «)»"), i);
                token.match = open.back();
                m_tokens[static_cast<size_t>(open.back())].match =
                    static_cast<int>(m_tokens.size());
                open.pop_back();
                ++i;
            } else if (c == QLatin1Char(',')) {
                token.kind = Tok::Comma;
                ++i;
            } else if (c == QLatin1Char(';')) {
                token.kind = Tok::Semicolon;
                ++i;
            } else {
                token.kind = Tok::Op;
                const QChar next = i + 1 < size ? s[i + 1] : QChar();
                int length = 0;
                if ((c == QLatin1Char('<') &&
                     (next == QLatin1Char('=') || next == QLatin1Char('>'))) ||
                    (c == QLatin1Char('>') && next == QLatin1Char('=')) ||
                    (c == QLatin1Char('!') && next == QLatin1Char('=')) ||
                    (c == QLatin1Char('|') && next == QLatin1Char('|')))
                    length = 2;
                else if (QStringView(u"=<>+-*/%").contains(c))
                    length = 1;
                else
                    failAt(QStringLiteral("недопустимый знак «%1»").arg(c), i);
                token.text = QStringView(s + i, length);
                i += length;
            }
            token.length = i - token.pos;
            m_tokens.push_back(token);
        }
        if (!open.empty())
            failAt(QStringLiteral("не закрыта скобка «(»"),
                   m_tokens[static_cast<size_t>(open.back())].pos);
        Token end;
        end.pos = size;
        m_tokens.push_back(end);
    }

    // Reads '...' or "..." at i into token.text; returns the index after the closing quote.
    int readQuoted(int i, Token& token) const
    {
        const QChar* s = m_text.constData();
        const int size = m_text.size();
        const QChar quote = s[i];
        token.quote = quote;
        const int start = i + 1;
        for (int j = start; j < size; ++j) {
            if (s[j] != quote)
                continue;
            if (j + 1 < size && s[j + 1] == quote) { // a doubled quote stands for one
                token.escaped = true;
                ++j;
                continue;
            }
            token.text = QStringView(s + start, j - start);
            return j + 1;
        }
        failAt(QStringLiteral("не закрыта кавычка %1").arg(quote), i);
    }

    // Reads one part of a name (a word, a "quoted" word or *) at i.
    int readNamePart(int i, Token& token) const
    {
        const QChar* s = m_text.constData();
        const int size = m_text.size();
        if (s[i] == QLatin1Char('*')) {
            token.star = true;
            token.text = QStringView(s + i, 1);
            return i + 1;
        }
        if (s[i] == QLatin1Char('"')) {
            Token quoted;
            const int next = readQuoted(i, quoted);
            token.text = quoted.text;
            token.quotedName = true;
            return next;
        }
        const int start = i;
        while (i < size && isNamePart(s[i]))
            ++i;
        token.text = QStringView(s + start, i - start);
        token.quotedName = false;
        return i;
    }

    static QString unquoted(const Token& token)
    {
        QString value = token.text.toString();
        if (token.escaped)
            value.replace(QString(2, token.quote), QString(token.quote));
        return value;
    }

    const Token& peek(int ahead = 0) const
    {
        const size_t i = std::min(m_pos + static_cast<size_t>(ahead), m_tokens.size() - 1);
        return m_tokens[i];
    }
    const Token& take()
    {
        const Token& token = m_tokens[m_pos];
        if (m_pos < m_tokens.size() - 1)
            ++m_pos;
        return token;
    }
    int position() const { return static_cast<int>(m_pos); }

    // Keywords are compared with their length known at compile time: the checks run several
    // times for every token.
    static bool isWord(const Token& token, QLatin1String word)
    {
        if (token.kind != Tok::Name || !token.qualifier.isEmpty() || token.quotedName || token.star)
            return false;
        return token.text.size() == word.size() &&
               token.text.compare(word, Qt::CaseInsensitive) == 0;
    }
    template <size_t N> static bool isWord(const Token& token, const char (&word)[N])
    {
        return isWord(token, QLatin1String(word, N - 1));
    }
    static bool isReserved(const Token& token)
    {
        if (token.kind != Tok::Name || !token.qualifier.isEmpty() || token.quotedName)
            return false;
        static const std::vector<QLatin1String> words(std::begin(reservedWords),
                                                      std::end(reservedWords));
        for (const QLatin1String word : words) {
            if (isWord(token, word))
                return true;
        }
        return false;
    }
    template <size_t N> static bool isOp(const Token& token, const char (&op)[N])
    {
        return token.kind == Tok::Op && token.text == QLatin1String(op, N - 1);
    }
    template <size_t N> void expectWord(const char (&word)[N], const QString& what)
    {
        if (!isWord(peek(), word))
            fail(QStringLiteral("ожидается %1").arg(what), peek());
        take();
    }
    void expectClose()
    {
        if (peek().kind != Tok::RParen)
            fail(QStringLiteral("ожидается «)»"), peek());
        take();
    }
    // The query must end here (or the subquery at its closing parenthesis).
    void expectEnd(int end)
    {
        if (position() != end)
            fail(QStringLiteral("ожидается конец запроса"), peek());
    }

    QString quoted(const QString& name) const { return m_dialect.quoteIdentifier(name); }

    // ---- statements

    QString select(int end, const Scope* outer, std::vector<SelectItem>* itemsOut)
    {
        Scope scope;
        scope.outer = outer;
        take(); // SELECT
        QString sql = QStringLiteral("SELECT ");
        if (isWord(peek(), "distinct") || isWord(peek(), "all"))
            sql += take().text.toString().toUpper() + QLatin1Char(' ');

        // The select list needs the tables, so the FROM list is read first.
        const int listStart = position();
        int from = listStart;
        while (from < end && !isWord(m_tokens[static_cast<size_t>(from)], "from")) {
            if (m_tokens[static_cast<size_t>(from)].kind == Tok::LParen)
                from = m_tokens[static_cast<size_t>(from)].match;
            ++from;
        }
        QString fromSql;
        int afterFrom = from;
        if (from < end) {
            m_pos = static_cast<size_t>(from) + 1;
            fromSql = fromList(scope);
            afterFrom = position();
        }

        m_pos = static_cast<size_t>(listStart);
        sql += selectList(scope, from);
        if (position() != from)
            fail(QStringLiteral("ожидается «,» или FROM"), peek());
        m_pos = static_cast<size_t>(afterFrom);
        if (!fromSql.isEmpty())
            sql += QLatin1String(" FROM ") + fromSql;

        if (isWord(peek(), "where")) {
            take();
            sql += QLatin1String(" WHERE ") + expression(scope).sql;
        }
        if (isWord(peek(), "group")) {
            take();
            expectWord("by", QStringLiteral("BY после GROUP"));
            sql += QLatin1String(" GROUP BY ") + expressionList(scope);
        }
        if (isWord(peek(), "having")) {
            take();
            sql += QLatin1String(" HAVING ") + expression(scope).sql;
        }
        if (isWord(peek(), "order")) {
            take();
            expectWord("by", QStringLiteral("BY после ORDER"));
            sql += QLatin1String(" ORDER BY ") + orderList(scope);
        }
        expectEnd(end);
        if (itemsOut)
            *itemsOut = std::move(scope.items);
        return sql;
    }

    QString deleteStatement(int end)
    {
        take(); // DELETE
        expectWord("from", QStringLiteral("FROM после DELETE"));
        Scope scope;
        QString sql = QLatin1String("DELETE FROM ") + tableRef(scope);
        if (isWord(peek(), "where")) {
            take();
            sql += QLatin1String(" WHERE ") + expression(scope).sql;
        }
        expectEnd(end);
        return sql;
    }

    QString updateStatement(int end)
    {
        take(); // UPDATE
        Scope scope;
        QString sql = QLatin1String("UPDATE ") + tableRef(scope) + QLatin1String(" SET ");
        expectWord("set", QStringLiteral("SET"));
        for (bool first = true;; first = false) {
            if (!first)
                sql += QLatin1String(", ");
            const FieldDef& field = targetColumn(scope);
            if (!isOp(peek(), "="))
                fail(QStringLiteral("ожидается «=»"), peek());
            take();
            sql += quoted(field.name) + QLatin1String(" = ") + valueFor(field, expression(scope));
            if (peek().kind != Tok::Comma)
                break;
            take();
        }
        if (isWord(peek(), "where")) {
            take();
            sql += QLatin1String(" WHERE ") + expression(scope).sql;
        }
        expectEnd(end);
        return sql;
    }

    QString insertStatement(int end)
    {
        take(); // INSERT
        expectWord("into", QStringLiteral("INTO после INSERT"));
        Scope scope;
        QString sql = QLatin1String("INSERT INTO ") + tableRef(scope);
        const TableDef& table = *scope.sources.front().def;
        std::vector<const FieldDef*> columns;
        if (peek().kind == Tok::LParen && !isWord(peek(1), "select")) {
            take();
            sql += QLatin1String(" (");
            for (;;) {
                columns.push_back(&targetColumn(scope));
                sql += quoted(columns.back()->name);
                if (peek().kind != Tok::Comma)
                    break;
                take();
                sql += QLatin1String(", ");
            }
            expectClose();
            sql += QLatin1Char(')');
        } else {
            for (const FieldDef& field : table.fields)
                columns.push_back(&field);
        }
        if (isWord(peek(), "select")) {
            sql += QLatin1Char(' ') + select(end, nullptr, nullptr);
            return sql;
        }
        expectWord("values", QStringLiteral("VALUES или SELECT"));
        sql += QLatin1String(" VALUES ");
        Scope empty; // values name no columns
        for (bool firstRow = true;; firstRow = false) {
            if (!firstRow)
                sql += QLatin1String(", ");
            if (peek().kind != Tok::LParen)
                fail(QStringLiteral("ожидается «(»"), peek());
            take();
            sql += QLatin1Char('(');
            for (size_t i = 0;; ++i) {
                const Expr value = expression(empty);
                sql += i < columns.size() ? valueFor(*columns[i], value) : value.sql;
                if (peek().kind != Tok::Comma)
                    break;
                take();
                sql += QLatin1String(", ");
            }
            expectClose();
            sql += QLatin1Char(')');
            if (peek().kind != Tok::Comma)
                break;
            take();
        }
        expectEnd(end);
        return sql;
    }

    const FieldDef& targetColumn(const Scope& scope)
    {
        const Token& token = peek();
        if (token.kind != Tok::Name || token.star || isReserved(token))
            fail(QStringLiteral("ожидается имя поля"), token);
        take();
        const Source& source = scope.sources.front();
        const FieldDef* field = findField(*source.def, token.text);
        if (!field)
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Поле «%1» не найдено в таблице «%2».")
                            .arg(token.text.toString(), source.def->name),
                        source.def->name, token.text.toString());
        return *field;
    }

    // A value written into a column: a dotted date stays text for a text column; an empty text
    // empties a date or a number; a written value that is not of the column's kind is refused,
    // where the store would keep it as text and lose the old value.
    QString valueFor(const FieldDef& field, const Expr& value) const
    {
        if (value.dotDate && isTextType(field.type))
            return m_dialect.quoteString(value.text);
        if (value.badDate && field.type == FieldType::Date)
            noSuchDate(value);
        if (isTextType(field.type) || field.type == FieldType::Unknown ||
            field.type == FieldType::Graphic)
            return value.sql;
        if (value.literal && value.text.trimmed().isEmpty())
            return QStringLiteral("NULL");
        bool fits = true;
        if (field.type == FieldType::Date) {
            fits = !(value.literal && !value.dotDate) && !value.number;
        } else if (value.dotDate) {
            fits = false;
        } else if (value.literal) {
            bool ok = false;
            value.text.trimmed().toDouble(&ok);
            fits = ok;
        }
        if (value.sql == QLatin1String("NULL"))
            fits = true;
        if (!fits)
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Значение %1 не подходит для поля «%2» (%3).")
                            .arg(value.literal ? QStringLiteral("«%1»").arg(value.text) : value.sql,
                                 field.name, QString::fromLatin1(typeName(field.type))),
                        QString(), field.name);
        return value.sql;
    }

    // ---- FROM

    QString fromList(Scope& scope)
    {
        QString sql = tableRef(scope);
        for (;;) {
            if (peek().kind == Tok::Comma) {
                take();
                sql += QLatin1String(", ") + tableRef(scope);
                continue;
            }
            QString join;
            while (isWord(peek(), "natural") || isWord(peek(), "left") || isWord(peek(), "right") ||
                   isWord(peek(), "full") || isWord(peek(), "outer") || isWord(peek(), "inner") ||
                   isWord(peek(), "cross"))
                join += take().text.toString().toUpper() + QLatin1Char(' ');
            if (!isWord(peek(), "join")) {
                if (!join.isEmpty())
                    fail(QStringLiteral("ожидается JOIN"), peek());
                return sql;
            }
            take();
            sql += QLatin1Char(' ') + join + QLatin1String("JOIN ") + tableRef(scope);
            if (isWord(peek(), "on")) {
                take();
                sql += QLatin1String(" ON ") + expression(scope).sql;
            }
        }
    }

    QString tableRef(Scope& scope)
    {
        const Token& token = peek();
        Source source;
        if (token.kind == Tok::String)
            source.written = unquoted(token);
        else if (token.kind == Tok::Name && !token.star && !isReserved(token))
            source.written = m_text.mid(token.pos, token.length);
        else
            fail(QStringLiteral("ожидается имя таблицы"), token);
        take();
        source.def = m_resolve(source.written);
        if (!source.def)
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Таблица «%1» не найдена.").arg(source.written),
                        source.written);
        if (isWord(peek(), "as")) {
            take();
            const Token& alias = peek();
            if (alias.kind == Tok::String ||
                (alias.kind == Tok::Name && alias.qualifier.isEmpty() && !alias.star))
                source.alias = unquoted(take());
            else
                fail(QStringLiteral("ожидается псевдоним таблицы"), alias);
        } else if (peek().kind == Tok::Name && peek().qualifier.isEmpty() && !peek().star &&
                   !isReserved(peek()) && !isWord(peek(), "set") && !isWord(peek(), "values")) {
            source.alias = unquoted(take());
        }
        QString sql = quoted(source.def->name);
        if (!source.alias.isEmpty())
            sql += QLatin1String(" AS ") + quoted(source.alias);
        scope.sources.push_back(std::move(source));
        return sql;
    }

    // ---- select list, ORDER BY

    QString selectList(Scope& scope, int from)
    {
        QString sql;
        for (;;) {
            SelectItem item;
            const Token& token = peek();
            if (isOp(token, "*")) {
                take();
                const size_t first = scope.items.size();
                for (const Source& source : scope.sources)
                    addColumnsOf(source, scope);
                sql += m_dialect.expandStar ? columnsFrom(scope, first) : QStringLiteral("*");
            } else if (token.kind == Tok::Name && token.star) {
                take();
                const Source& source = findSource(token.qualifier, scope, token);
                const size_t first = scope.items.size();
                addColumnsOf(source, scope);
                sql += m_dialect.expandStar ? columnsFrom(scope, first)
                                            : quoted(source.qualifier()) + QLatin1String(".*");
            } else {
                const Expr expr = expression(scope);
                sql += expr.sql;
                item.expression = expr.sql;
                item.type = expr.type;
                item.exact = expr.exact;
                if (!expr.column.isEmpty()) {
                    item.column = expr.column;
                    item.sql = expr.sql;
                }
                if (isWord(peek(), "as")) {
                    take();
                    if (peek().kind != Tok::String &&
                        (peek().kind != Tok::Name || !peek().qualifier.isEmpty() || peek().star))
                        fail(QStringLiteral("ожидается имя столбца после AS"), peek());
                    item.alias = unquoted(take());
                } else if (peek().kind == Tok::Name && peek().qualifier.isEmpty() && !peek().star &&
                           !isReserved(peek()) && position() < from) {
                    item.alias = unquoted(take());
                }
                if (!item.alias.isEmpty())
                    sql += QLatin1String(" AS ") + quoted(item.alias);
                scope.items.push_back(item);
            }
            if (peek().kind != Tok::Comma || position() >= from)
                return sql;
            take();
            sql += QLatin1String(", ");
        }
    }

    // The columns a "*" stood for, written out (items from first on).
    static QString columnsFrom(const Scope& scope, size_t first)
    {
        QStringList columns;
        for (size_t i = first; i < scope.items.size(); ++i)
            columns << scope.items[i].sql;
        return columns.join(QStringLiteral(", "));
    }

    // "*" and "r.*" stand for every column of their tables, one result column each.
    void addColumnsOf(const Source& source, Scope& scope) const
    {
        const QString qualifier = quoted(source.qualifier()) + QLatin1Char('.');
        for (const FieldDef& field : source.def->fields)
            scope.items.push_back({QString(), field.type, true, field.name,
                                   qualifier + quoted(field.name), QString()});
    }

    const SelectItem* findItem(const Scope& scope, QStringView alias) const
    {
        for (const SelectItem& item : scope.items) {
            if (!item.alias.isEmpty() && sameName(item.alias, alias))
                return &item;
        }
        return nullptr;
    }

    // A result column named by its column, without an alias: "order by Keyn" after
    // "select z.keyn, ..., f.name" means z.keyn, although firm has a Keyn too.
    const SelectItem* findColumnItem(const Scope& scope, QStringView name) const
    {
        for (const SelectItem& item : scope.items) {
            if (item.alias.isEmpty() && !item.column.isEmpty() && sameName(item.column, name))
                return &item;
        }
        return nullptr;
    }

    QString orderList(const Scope& scope)
    {
        QString sql;
        for (;;) {
            Expr term;
            const Token& token = peek();
            const Tok after = peek(1).kind;
            const bool single = after == Tok::Comma || after == Tok::End || after == Tok::RParen ||
                                after == Tok::Semicolon ||
                                (after == Tok::Name && peek(1).qualifier.isEmpty());
            const bool bareName = single && token.kind == Tok::Name && token.qualifier.isEmpty() &&
                                  !token.star && !isReserved(token);
            const SelectItem* item = nullptr;
            if (bareName && (item = findItem(scope, token.text))) {
                // A result column's name: ORDER BY fio.
                take();
                term.sql = m_dialect.orderByExpressions && !item->expression.isEmpty()
                               ? QLatin1Char('(') + item->expression + QLatin1Char(')')
                               : quoted(item->alias);
                term.type = item->type;
            } else if (bareName && (item = findColumnItem(scope, token.text))) {
                take();
                term.sql = item->sql;
                term.type = item->type;
            } else if (single && token.kind == Tok::Number) {
                // A result column's number: ORDER BY 2.
                take();
                term.sql = token.text.toString();
                const int index = token.text.toInt() - 1;
                if (index >= 0 && index < static_cast<int>(scope.items.size())) {
                    const SelectItem& numbered = scope.items[static_cast<size_t>(index)];
                    term.type = numbered.type;
                    const QString& e =
                        numbered.expression.isEmpty() ? numbered.sql : numbered.expression;
                    if (m_dialect.orderByExpressions && !e.isEmpty())
                        term.sql = QLatin1Char('(') + e + QLatin1Char(')');
                }
            } else {
                term = expression(scope);
            }
            if (isWord(peek(), "collate")) {
                take();
                if (peek().kind != Tok::Name || !peek().qualifier.isEmpty() || peek().quotedName ||
                    peek().star)
                    fail(QStringLiteral("ожидается имя порядка сортировки"), peek());
                term.sql += QLatin1String(" COLLATE ") + take().text.toString();
            } else if (!sortsWithoutCollation(term.type)) {
                term.sql = m_dialect.collate(term.sql);
            }
            bool descending = false;
            if (isWord(peek(), "asc") || isWord(peek(), "desc")) {
                descending = isWord(peek(), "desc");
                term.sql += QLatin1Char(' ') + take().text.toString().toUpper();
            }
            term.sql += descending ? m_dialect.descendingNulls : m_dialect.ascendingNulls;
            sql += term.sql;
            if (peek().kind != Tok::Comma)
                return sql;
            take();
            sql += QLatin1String(", ");
        }
    }

    QString expressionList(const Scope& scope)
    {
        QString sql = expression(scope).sql;
        while (peek().kind == Tok::Comma) {
            take();
            sql += QLatin1String(", ") + expression(scope).sql;
        }
        return sql;
    }

    // ---- names

    const Source& findSource(QStringView qualifier, const Scope& scope, const Token& at) const
    {
        for (const Scope* s = &scope; s; s = s->outer) {
            for (const Source& source : s->sources) {
                if (sameName(source.alias, qualifier) || sameName(source.written, qualifier) ||
                    sameName(source.def->name, qualifier))
                    return source;
            }
        }
        const QString name = tableNameForFile(qualifier.toString());
        for (const Scope* s = &scope; s; s = s->outer) {
            for (const Source& source : s->sources) {
                if (source.def->name == name)
                    return source;
            }
        }
        throw Error(Error::Code::NotFound,
                    QStringLiteral("Таблица или псевдоним «%1» не указаны после FROM (%2).")
                        .arg(qualifier.toString(), place(at.pos)),
                    qualifier.toString());
    }

    Expr column(const Token& token, const Scope& scope) const
    {
        Expr expr;
        if (!token.qualifier.isEmpty()) {
            const Source& source = findSource(token.qualifier, scope, token);
            const FieldDef* field = findField(*source.def, token.text);
            if (!field)
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Поле «%1» не найдено в таблице «%2».")
                                .arg(token.text.toString(), source.def->name),
                            source.def->name, token.text.toString());
            expr.sql = quoted(source.qualifier()) + QLatin1Char('.') + quoted(field->name);
            expr.type = field->type;
            expr.exact = true;
            expr.column = field->name;
            return expr;
        }
        for (const Scope* s = &scope; s; s = s->outer) {
            const FieldDef* found = nullptr;
            const Source* foundIn = nullptr;
            for (const Source& source : s->sources) {
                if (const FieldDef* field = findField(*source.def, token.text)) {
                    if (found)
                        failAt(QStringLiteral("поле «%1» есть и в «%2», и в «%3»: укажите таблицу")
                                   .arg(token.text.toString(), foundIn->written, source.written),
                               token.pos);
                    found = field;
                    foundIn = &source;
                }
            }
            if (found) {
                expr.sql = quoted(found->name);
                expr.type = found->type;
                expr.exact = true;
                expr.column = found->name;
                return expr;
            }
        }
        if (const SelectItem* item = findItem(scope, token.text)) {
            expr.sql = quoted(item->alias);
            expr.type = item->type;
            return expr;
        }
        const QString table =
            scope.sources.size() == 1 ? scope.sources.front().def->name : QString();
        throw Error(Error::Code::NotFound,
                    table.isEmpty() ? QStringLiteral("Поле «%1» не найдено в таблицах запроса.")
                                          .arg(token.text.toString())
                                    : QStringLiteral("Поле «%1» не найдено в таблице «%2».")
                                          .arg(token.text.toString(), table),
                    table, token.text.toString());
    }

    QString parameter(QStringView name)
    {
        for (const QString& known : m_parameterNames) {
            if (sameName(known, name))
                return QLatin1Char(':') + known;
        }
        m_parameterNames.append(name.toString());
        return QLatin1Char(':') + m_parameterNames.back();
    }

    // ---- expressions

    // Every level of parentheses, subqueries, NOT and signs is a level of recursion here: a
    // limit keeps a text nested thousands deep from exhausting the stack.
    static constexpr int kMaxNesting = 100;
    class Nesting {
    public:
        Nesting(Translator& translator, const Token& at) : m_translator(translator)
        {
            if (++m_translator.m_nesting > kMaxNesting)
                m_translator.failAt(
                    QStringLiteral("выражение вложено глубже %1 уровней").arg(kMaxNesting), at.pos);
        }
        ~Nesting() { --m_translator.m_nesting; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Translator& m_translator;
    };

    Expr expression(const Scope& scope)
    {
        const Nesting nesting(*this, peek());
        return orExpr(scope);
    }

    Expr orExpr(const Scope& scope)
    {
        Expr expr = andExpr(scope);
        while (isWord(peek(), "or")) {
            take();
            expr = logical(expr, QLatin1String(" OR "), andExpr(scope));
        }
        return expr;
    }

    Expr andExpr(const Scope& scope)
    {
        Expr expr = notExpr(scope);
        while (isWord(peek(), "and")) {
            take();
            expr = logical(expr, QLatin1String(" AND "), notExpr(scope));
        }
        return expr;
    }

    static Expr logical(const Expr& left, QLatin1String op, const Expr& right)
    {
        Expr expr;
        expr.sql = left.sql + op + right.sql;
        expr.type = FieldType::Boolean;
        return expr;
    }

    Expr notExpr(const Scope& scope)
    {
        if (isWord(peek(), "not")) {
            const Nesting nesting(*this, peek());
            take();
            Expr expr;
            expr.sql = QLatin1String("NOT ") + notExpr(scope).sql;
            expr.type = FieldType::Boolean;
            return expr;
        }
        return predicate(scope);
    }

    // A date written as text stays text where it meets a text column. Against a date column a
    // quoted text must be a d.m.yyyy date: '01.01.80' or '1980-01-01' compared as text would
    // find wrong rows without a word. An empty text stays: it finds the empty dates.
    QString against(const Expr& value, const Expr& other) const
    {
        if (value.dotDate && isTextType(other.type))
            return m_dialect.quoteString(value.text);
        if (value.badDate && other.type == FieldType::Date)
            noSuchDate(value);
        if (value.literal && !value.dotDate && !value.text.isEmpty() &&
            other.type == FieldType::Date)
            failAt(QStringLiteral("«%1» сравнивается с датой, но не дата: дата пишется как "
                                  "день.месяц.год, например '15.03.1985'")
                       .arg(value.text),
                   value.pos);
        return value.sql;
    }

    [[noreturn]] void noSuchDate(const Expr& value) const
    {
        failAt(QStringLiteral("даты «%1» не бывает").arg(value.text), value.pos);
    }

    Expr predicate(const Scope& scope)
    {
        Expr left = additive(scope);
        const Token& token = peek();
        Expr expr;
        expr.type = FieldType::Boolean;
        if (token.kind == Tok::Op &&
            (isOp(token, "=") || isOp(token, "<>") || isOp(token, "!=") || isOp(token, "<") ||
             isOp(token, ">") || isOp(token, "<=") || isOp(token, ">="))) {
            const QString op = take().text.toString();
            const Expr right = additive(scope);
            QString leftSql = against(left, right);
            QString rightSql = against(right, left);
            // An empty field is empty text: namef = '' holds for a missing value too, as the
            // duplicate check of a candidate without a patronymic needs.
            if (op == QLatin1String("=") || op == QLatin1String("<>") ||
                op == QLatin1String("!=")) {
                if (right.literal && right.text.isEmpty() && !left.literal)
                    leftSql = m_dialect.emptyIfNull(leftSql);
                else if (left.literal && left.text.isEmpty() && !right.literal)
                    rightSql = m_dialect.emptyIfNull(rightSql);
            }
            expr.sql = leftSql + QLatin1Char(' ') + op + QLatin1Char(' ') + rightSql;
            return expr;
        }
        if (isWord(token, "is")) {
            take();
            QString sql = left.sql + QLatin1String(" IS ");
            if (isWord(peek(), "not")) {
                take();
                sql += QLatin1String("NOT ");
            }
            expectWord("null", QStringLiteral("NULL после IS"));
            expr.sql = sql + QLatin1String("NULL");
            return expr;
        }
        QString sql = left.sql;
        if (isWord(token, "not") &&
            (isWord(peek(1), "like") || isWord(peek(1), "in") || isWord(peek(1), "between"))) {
            take();
            sql += QLatin1String(" NOT");
        }
        if (isWord(peek(), "like")) {
            take();
            const Expr pattern = additive(scope);
            // A pattern is text even when it looks like a date.
            sql += QLatin1String(" LIKE ") +
                   (pattern.literal ? m_dialect.quoteString(pattern.text) : pattern.sql);
            if (isWord(peek(), "escape")) {
                take();
                sql += QLatin1String(" ESCAPE ") + additive(scope).sql;
            }
        } else if (isWord(peek(), "in")) {
            take();
            if (peek().kind != Tok::LParen)
                fail(QStringLiteral("ожидается «(» после IN"), peek());
            const int close = peek().match;
            take();
            sql += QLatin1String(" IN (");
            if (isWord(peek(), "select")) {
                sql += select(close, &scope, nullptr);
            } else if (peek().kind != Tok::RParen) {
                for (;;) {
                    sql += against(additive(scope), left);
                    if (peek().kind != Tok::Comma)
                        break;
                    take();
                    sql += QLatin1String(", ");
                }
            }
            expectClose();
            sql += QLatin1Char(')');
        } else if (isWord(peek(), "between")) {
            take();
            const Expr low = additive(scope);
            expectWord("and", QStringLiteral("AND в BETWEEN"));
            const Expr high = additive(scope);
            sql += QLatin1String(" BETWEEN ") + against(low, left) + QLatin1String(" AND ") +
                   against(high, left);
        } else {
            return left;
        }
        expr.sql = sql;
        return expr;
    }

    // a + b + c: joins texts when any part is text, so that a missing part counts as empty
    // text (a candidate without a patronymic still has a full name); adds numbers otherwise.
    Expr additive(const Scope& scope)
    {
        Expr first = multiplicative(scope);
        if (!(isOp(peek(), "+") || isOp(peek(), "-") || isOp(peek(), "||")))
            return first;
        std::vector<Expr> terms;
        std::vector<QStringView> ops;
        terms.push_back(std::move(first));
        while (isOp(peek(), "+") || isOp(peek(), "-") || isOp(peek(), "||")) {
            ops.push_back(take().text);
            terms.push_back(multiplicative(scope));
        }
        bool joinsTexts = false;
        bool onlyJoins = true;
        for (const QStringView op : ops) {
            if (op == u"||")
                joinsTexts = true;
            else if (op != u"+")
                onlyJoins = false;
        }
        for (const Expr& term : terms) {
            if (isTextType(term.type))
                joinsTexts = true;
        }
        Expr expr;
        if (joinsTexts && onlyJoins) {
            const QString separator =
                QLatin1Char(' ') + m_dialect.concatOperator + QLatin1Char(' ');
            for (size_t i = 0; i < terms.size(); ++i) {
                const Expr& term = terms[i];
                if (i > 0)
                    expr.sql += separator;
                if (term.literal)
                    expr.sql += m_dialect.quoteString(term.text);
                else if (term.number)
                    expr.sql += term.sql;
                else
                    expr.sql += m_dialect.emptyIfNull(term.sql);
            }
            expr.type = FieldType::String;
            return expr;
        }
        expr.sql = terms.front().sql;
        bool numeric = true;
        for (size_t i = 0; i < ops.size(); ++i) {
            expr.sql += QLatin1Char(' ');
            expr.sql += ops[i];
            expr.sql += QLatin1Char(' ') + terms[i + 1].sql;
        }
        for (const Expr& term : terms)
            numeric = numeric && (isIntegerType(term.type) || term.type == FieldType::Float);
        expr.type = numeric ? FieldType::Float : FieldType::Unknown;
        return expr;
    }

    Expr multiplicative(const Scope& scope)
    {
        Expr expr = unary(scope);
        while (isOp(peek(), "*") || isOp(peek(), "/") || isOp(peek(), "%")) {
            const QStringView op = take().text;
            const Expr right = unary(scope);
            const bool numeric = (isIntegerType(expr.type) || expr.type == FieldType::Float) &&
                                 (isIntegerType(right.type) || right.type == FieldType::Float);
            expr.sql += QLatin1Char(' ');
            expr.sql += op;
            expr.sql += QLatin1Char(' ') + right.sql;
            expr.type = numeric ? FieldType::Float : FieldType::Unknown;
            expr.exact = expr.literal = expr.dotDate = expr.number = false;
            expr.column.clear();
        }
        return expr;
    }

    Expr unary(const Scope& scope)
    {
        if (isOp(peek(), "-") || isOp(peek(), "+")) {
            const Nesting nesting(*this, peek());
            const QStringView op = take().text;
            Expr expr = unary(scope);
            // "- -1" must not become "--1", which the store reads as a comment.
            if (expr.sql.startsWith(QLatin1Char('-')))
                expr.sql.prepend(QLatin1Char(' '));
            expr.sql.prepend(op);
            expr.exact = expr.literal = expr.dotDate = false;
            expr.column.clear();
            return expr;
        }
        return primary(scope);
    }

    Expr primary(const Scope& scope)
    {
        const Token& token = peek();
        Expr expr;
        switch (token.kind) {
        case Tok::Number:
            take();
            expr.sql = token.text.toString();
            expr.number = true;
            expr.type = token.text.contains(QLatin1Char('.')) ||
                                token.text.contains(QLatin1Char('e')) ||
                                token.text.contains(QLatin1Char('E'))
                            ? FieldType::Float
                            : FieldType::Integer;
            return expr;
        case Tok::String: {
            take();
            expr.literal = true;
            expr.pos = token.pos;
            expr.text = unquoted(token);
            QDate date;
            if (const std::optional<DateParts> parts = dateShape(expr.text)) {
                date = QDate(parts->year, parts->month, parts->day);
                // An age bound computed on 29 February names that day in a year without it:
                // the last day of that February is meant.
                if (!date.isValid() && parts->day == 29 && parts->month == 2)
                    date = QDate(parts->year, 2, 28);
                expr.badDate = !date.isValid();
            }
            if (date.isValid()) {
                expr.dotDate = true;
                expr.sql = m_dialect.dateLiteral(date);
                expr.type = FieldType::Date;
            } else {
                expr.sql = m_dialect.quoteString(expr.text);
                expr.type = FieldType::String;
            }
            return expr;
        }
        case Tok::Param:
            take();
            expr.sql = parameter(token.text);
            return expr;
        case Tok::LParen: {
            const int close = token.match;
            take();
            if (isWord(peek(), "select")) {
                expr.sql = QLatin1Char('(') + select(close, &scope, nullptr) + QLatin1Char(')');
                expectClose();
                return expr;
            }
            const Expr inner = expression(scope);
            expectClose();
            expr.sql = QLatin1Char('(') + inner.sql + QLatin1Char(')');
            expr.type = inner.type;
            expr.exact = inner.exact;
            return expr;
        }
        case Tok::Name:
            break;
        default:
            fail(QStringLiteral("ожидается выражение"), token);
        }

        if (token.star)
            fail(QStringLiteral("«*» допустимо только в списке выборки"), token);
        if (!token.qualifier.isEmpty() || token.quotedName) {
            take();
            return column(token, scope);
        }
        if (isWord(token, "true") || isWord(token, "false")) {
            take();
            expr.sql = m_dialect.boolLiteral(isWord(token, "true"));
            expr.type = FieldType::Boolean;
            expr.number = true;
            return expr;
        }
        if (isWord(token, "null")) {
            take();
            expr.sql = QStringLiteral("NULL");
            expr.number = true; // never wrapped: null is what it stands for
            return expr;
        }
        if (isWord(token, "case"))
            return caseExpr(scope);
        if (isWord(token, "exists") && peek(1).kind == Tok::LParen) {
            take();
            const int close = peek().match;
            take();
            if (!isWord(peek(), "select"))
                fail(QStringLiteral("ожидается SELECT после EXISTS ("), peek());
            expr.sql =
                QLatin1String("EXISTS (") + select(close, &scope, nullptr) + QLatin1Char(')');
            expectClose();
            expr.type = FieldType::Boolean;
            return expr;
        }
        if (isReserved(token))
            fail(QStringLiteral("ожидается выражение"), token);
        if (peek(1).kind == Tok::LParen)
            return function(scope);
        take();
        return column(token, scope);
    }

    Expr caseExpr(const Scope& scope)
    {
        take(); // CASE
        Expr expr;
        expr.sql = QStringLiteral("CASE");
        Expr base;
        if (!isWord(peek(), "when")) {
            base = expression(scope);
            expr.sql += QLatin1Char(' ') + base.sql;
        }
        bool first = true;
        while (isWord(peek(), "when")) {
            take();
            const Expr condition = expression(scope);
            expectWord("then", QStringLiteral("THEN"));
            const Expr result = expression(scope);
            expr.sql += QLatin1String(" WHEN ") + against(condition, base) +
                        QLatin1String(" THEN ") + result.sql;
            if (first)
                expr.type = result.type;
            first = false;
        }
        if (first)
            fail(QStringLiteral("ожидается WHEN"), peek());
        if (isWord(peek(), "else")) {
            take();
            expr.sql += QLatin1String(" ELSE ") + expression(scope).sql;
        }
        expectWord("end", QStringLiteral("END"));
        expr.sql += QLatin1String(" END");
        return expr;
    }

    Expr function(const Scope& scope)
    {
        const Token& name = take();
        const int close = peek().match;
        take(); // (
        Expr expr;
        std::vector<Expr> arguments;
        QString args;
        if (isWord(name, "cast")) {
            const Expr value = expression(scope);
            expectWord("as", QStringLiteral("AS в CAST"));
            // The type is written again from its words and numbers ("VARCHAR(20)"), never
            // copied as text, which could carry a comment into the store's SQL.
            args = value.sql + QLatin1String(" AS ");
            if (position() == close)
                fail(QStringLiteral("ожидается тип в CAST"), peek());
            while (position() < close) {
                const Token& part = take();
                if (part.kind == Tok::Name && part.qualifier.isEmpty() && !part.quotedName &&
                    !part.star)
                    args += (args.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ")) +
                            part.text.toString();
                else if (part.kind == Tok::Number || part.kind == Tok::Comma ||
                         part.kind == Tok::LParen || part.kind == Tok::RParen)
                    args += m_text.mid(part.pos, part.length);
                else
                    fail(QStringLiteral("ожидается тип в CAST"), part);
            }
        } else if (isOp(peek(), "*") && peek(1).kind == Tok::RParen) {
            take();
            args = QStringLiteral("*");
        } else if (peek().kind != Tok::RParen) {
            if (isWord(peek(), "distinct")) {
                take();
                args = QStringLiteral("DISTINCT ");
            }
            for (;;) {
                arguments.push_back(expression(scope));
                args += arguments.back().sql;
                if (peek().kind != Tok::Comma)
                    break;
                take();
                args += QLatin1String(", ");
            }
        }
        expectClose();

        QString written = name.text.toString();
        if (isWord(name, "upper")) {
            written = m_dialect.upperFunction;
            expr.type = FieldType::String;
        } else if (isWord(name, "count")) {
            expr.type = FieldType::Integer;
            expr.exact = true;
        } else if ((isWord(name, "min") || isWord(name, "max")) && arguments.size() == 1) {
            expr.type = arguments.front().type;
            expr.exact = arguments.front().exact;
        } else if (isWord(name, "lower") || isWord(name, "trim") || isWord(name, "ltrim") ||
                   isWord(name, "rtrim") || isWord(name, "substr") || isWord(name, "replace")) {
            expr.type = FieldType::String;
        }
        expr.sql = written + QLatin1Char('(') + args + QLatin1Char(')');
        return expr;
    }

    const QString& m_text;
    const TableResolver& m_resolve;
    const Dialect& m_dialect;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_nesting = 0;
    QStringList m_parameterNames;
};

} // namespace

TranslatedSql translateLocalSql(const QString& text, const TableResolver& resolve,
                                const Dialect& dialect)
{
    return Translator(text, resolve, dialect).translate();
}

} // namespace kdb
