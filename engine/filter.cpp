#include "filter.h"

#include "error.h"

#include <vector>

namespace kdb {

namespace {

enum class Tok { End, Name, Number, String, LParen, RParen, Op };

struct Token {
    Tok kind = Tok::End;
    int pos = 0; // in the filter text
    int length = 0;
    QString text; // a name or operator as written, a number as written, a text unquoted
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

class FilterCompiler {
public:
    FilterCompiler(const QString& text, const FieldResolver& resolve, const Dialect& dialect)
        : m_text(text), m_resolve(resolve), m_dialect(dialect)
    {
    }

    CompiledFilter compile()
    {
        tokenize();
        if (m_tokens.size() == 1) // only the end: an empty filter lets every row pass
            return {};
        m_result.where = orExpr();
        if (peek().kind != Tok::End)
            failAt(QStringLiteral("лишний текст «%1» после условия")
                       .arg(m_text.mid(peek().pos).trimmed()),
                   peek().pos);
        return std::move(m_result);
    }

private:
    [[noreturn]] void failAt(const QString& detail, int pos, const QString& field = {}) const
    {
        throw Error(Error::Code::Syntax,
                    QStringLiteral("Ошибка в фильтре «%1»: %2 (позиция %3).")
                        .arg(m_text, detail)
                        .arg(pos + 1),
                    QString(), field);
    }

    // "expected X" against the token actually met.
    [[noreturn]] void fail(const QString& expected, const Token& met) const
    {
        if (met.kind == Tok::End)
            throw Error(Error::Code::Syntax,
                        QStringLiteral("Ошибка в фильтре «%1»: %2, а текст кончился.")
                            .arg(m_text, expected));
        failAt(
            QStringLiteral("%1, а встретилось «%2»").arg(expected, m_text.mid(met.pos, met.length)),
            met.pos);
    }

    void tokenize()
    {
        const int size = m_text.size();
        int i = 0;
        while (i < size) {
            const QChar c = m_text.at(i);
            if (c.isSpace()) {
                ++i;
                continue;
            }
            Token token;
            token.pos = i;
            if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
                token.kind = c == QLatin1Char('(') ? Tok::LParen : Tok::RParen;
                ++i;
            } else if (c == QLatin1Char('=')) {
                token.kind = Tok::Op;
                ++i;
            } else if (c == QLatin1Char('<') || c == QLatin1Char('>')) {
                token.kind = Tok::Op;
                ++i;
                if (i < size && (m_text.at(i) == QLatin1Char('=') ||
                                 (c == QLatin1Char('<') && m_text.at(i) == QLatin1Char('>'))))
                    ++i;
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                token.kind = Tok::String;
                ++i;
                for (;;) {
                    if (i >= size)
                        failAt(QStringLiteral("не закрыта кавычка %1").arg(c), token.pos);
                    if (m_text.at(i) == c) {
                        if (i + 1 < size && m_text.at(i + 1) == c) { // a doubled quote
                            token.text += c;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    token.text += m_text.at(i++);
                }
            } else if (isDigit(c) || ((c == QLatin1Char('-') || c == QLatin1Char('+')) &&
                                      i + 1 < size && isDigit(m_text.at(i + 1)))) {
                token.kind = Tok::Number;
                ++i;
                while (i < size && isDigit(m_text.at(i)))
                    ++i;
                // The decimal comma of a Russian-written number is taken as well as the point.
                if (i + 1 < size &&
                    (m_text.at(i) == QLatin1Char('.') || m_text.at(i) == QLatin1Char(',')) &&
                    isDigit(m_text.at(i + 1))) {
                    i += 2;
                    while (i < size && isDigit(m_text.at(i)))
                        ++i;
                }
            } else if (isNameStart(c)) {
                token.kind = Tok::Name;
                ++i;
                while (i < size && isNamePart(m_text.at(i)))
                    ++i;
            } else {
                failAt(QStringLiteral("недопустимый знак «%1»").arg(c), i);
            }
            token.length = i - token.pos;
            if (token.kind != Tok::String)
                token.text = m_text.mid(token.pos, token.length);
            m_tokens.push_back(std::move(token));
        }
        Token end;
        end.pos = size;
        m_tokens.push_back(end);
    }

    const Token& peek() const { return m_tokens[m_pos]; }
    const Token& take() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }

    static bool isWord(const Token& token, const char* word)
    {
        return token.kind == Tok::Name &&
               token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    static bool isKeyword(const Token& token)
    {
        return isWord(token, "and") || isWord(token, "or") || isWord(token, "not");
    }
    static bool isValue(const Token& token)
    {
        return token.kind == Tok::Number || token.kind == Tok::String || isWord(token, "null") ||
               isWord(token, "true") || isWord(token, "false");
    }
    static bool isField(const Token& token)
    {
        return token.kind == Tok::Name && !isValue(token) && !isKeyword(token);
    }

    QString orExpr()
    {
        QString sql = andExpr();
        while (isWord(peek(), "or")) {
            take();
            sql += QLatin1String(" OR ") + andExpr();
        }
        return sql;
    }

    QString andExpr()
    {
        QString sql = notExpr();
        while (isWord(peek(), "and")) {
            take();
            sql += QLatin1String(" AND ") + notExpr();
        }
        return sql;
    }

    QString notExpr()
    {
        if (isWord(peek(), "not")) {
            take();
            return QLatin1String("NOT (") + primary() + QLatin1Char(')');
        }
        return primary();
    }

    QString primary()
    {
        if (peek().kind == Tok::LParen) {
            take();
            const QString inner = orExpr();
            if (peek().kind != Tok::RParen)
                fail(QStringLiteral("ожидается «)»"), peek());
            take();
            return QLatin1Char('(') + inner + QLatin1Char(')');
        }
        return comparison();
    }

    const Token& takeOperator()
    {
        if (peek().kind != Tok::Op)
            fail(QStringLiteral("ожидается знак сравнения (=, <>, <, >, <=, >=)"), peek());
        return take();
    }

    QString comparison()
    {
        const Token& first = take();
        if (isField(first)) {
            const Token& op = takeOperator();
            if (!isValue(peek()))
                fail(QStringLiteral(
                         "ожидается значение (число, текст в кавычках, Null, True или False)"),
                     peek());
            return compare(first, op.text, take());
        }
        if (isValue(first)) {
            const Token& op = takeOperator();
            if (!isField(peek()))
                fail(QStringLiteral("ожидается имя поля"), peek());
            return compare(take(), mirrored(op.text), first);
        }
        fail(QStringLiteral("ожидается условие: поле, знак сравнения и значение"), first);
    }

    // 5 < x is x > 5.
    static QString mirrored(const QString& op)
    {
        if (op == QLatin1String("<"))
            return QStringLiteral(">");
        if (op == QLatin1String(">"))
            return QStringLiteral("<");
        if (op == QLatin1String("<="))
            return QStringLiteral(">=");
        if (op == QLatin1String(">="))
            return QStringLiteral("<=");
        return op;
    }

    QString compare(const Token& fieldToken, const QString& op, const Token& value)
    {
        const FieldDef* field = m_resolve(fieldToken.text);
        if (!field)
            throw Error(
                Error::Code::NotFound,
                QStringLiteral("Поле «%1» не найдено (фильтр «%2»).").arg(fieldToken.text, m_text),
                QString(), fieldToken.text);
        const QString column = m_dialect.quoteIdentifier(field->name);
        if (isWord(value, "null")) {
            if (op == QLatin1String("="))
                return column + QLatin1String(" IS NULL");
            if (op == QLatin1String("<>"))
                return column + QLatin1String(" IS NOT NULL");
            failAt(QStringLiteral("с Null сравнивают только знаками = и <>"), value.pos,
                   field->name);
        }
        m_result.params.append(convert(*field, value));
        const bool ordering = op != QLatin1String("=") && op != QLatin1String("<>");
        // Texts are ordered the way the name lists sort them.
        const QString left =
            ordering && isTextType(field->type) ? m_dialect.collate(column) : column;
        return left + QLatin1Char(' ') + op + QLatin1String(" ?");
    }

    static QVariant number(const QString& text, bool* ok)
    {
        QString written = text.trimmed();
        written.replace(QLatin1Char(','), QLatin1Char('.'));
        if (!written.contains(QLatin1Char('.'))) {
            const qlonglong value = written.toLongLong(ok);
            if (*ok)
                return value;
        }
        const double value = written.toDouble(ok);
        return value;
    }

    [[noreturn]] void refuse(const FieldDef& field, const Token& value,
                             const QString& expected) const
    {
        failAt(QStringLiteral("поле «%1» сравнивают с %2, а не с «%3»")
                   .arg(field.name, expected, m_text.mid(value.pos, value.length)),
               value.pos, field.name);
    }

    QVariant convert(const FieldDef& field, const Token& value) const
    {
        const bool isTrue = isWord(value, "true");
        const bool isBool = isTrue || isWord(value, "false");
        bool ok = false;
        switch (field.type) {
        case FieldType::Date: {
            const QDate date = value.kind == Tok::String ? parseDotDate(value.text) : QDate();
            if (!date.isValid())
                refuse(field, value, QStringLiteral("датой в кавычках вида '01.01.1980'"));
            return dateToStore(date);
        }
        case FieldType::Boolean:
            if (isBool)
                return qlonglong(isTrue ? 1 : 0);
            if (value.kind == Tok::Number) {
                const QVariant result = number(value.text, &ok);
                if (ok)
                    return result;
            }
            refuse(field, value, QStringLiteral("True или False"));
        case FieldType::AutoInc:
        case FieldType::Integer:
        case FieldType::SmallInt:
        case FieldType::Float: {
            if (isBool)
                return qlonglong(isTrue ? 1 : 0);
            const QVariant result = number(value.text, &ok);
            if (!ok)
                refuse(field, value, QStringLiteral("числом"));
            return result;
        }
        case FieldType::String:
        case FieldType::Memo:
            if (isBool)
                refuse(field, value, QStringLiteral("текстом в кавычках"));
            return value.text;
        case FieldType::Graphic:
            refuse(field, value, QStringLiteral("Null"));
        case FieldType::Unknown:
            if (isBool)
                return qlonglong(isTrue ? 1 : 0);
            if (value.kind == Tok::Number) {
                const QVariant result = number(value.text, &ok);
                if (ok)
                    return result;
            }
            return value.text;
        }
        return value.text;
    }

    const QString& m_text;
    const FieldResolver& m_resolve;
    const Dialect& m_dialect;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    CompiledFilter m_result;
};

} // namespace

CompiledFilter compileFilter(const QString& text, const FieldResolver& resolve,
                             const Dialect& dialect)
{
    return FilterCompiler(text, resolve, dialect).compile();
}

} // namespace kdb
