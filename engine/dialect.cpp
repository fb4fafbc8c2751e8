#include "dialect.h"

namespace kdb {

namespace {

QString quoted(const QString& text, QChar quote)
{
    if (!text.contains(quote))
        return quote + text + quote;
    QString result;
    result.reserve(text.size() + 2);
    result += quote;
    for (const QChar c : text) {
        if (c == quote)
            result += quote;
        result += c;
    }
    result += quote;
    return result;
}

// Digits of text[from, from + count) as a number, or -1 when one of them is not a digit.
int digits(const QString& text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

QString Dialect::quoteIdentifier(const QString& name) const
{
    return quoted(name, QLatin1Char('"'));
}

QString Dialect::quoteString(const QString& text) const
{
    return quoted(text, QLatin1Char('\''));
}

QString Dialect::dateLiteral(const QDate& date) const
{
    return quoteString(dateToStore(date));
}

QString Dialect::collate(const QString& expression) const
{
    return expression + QLatin1String(" COLLATE ") + textCollation;
}

QString Dialect::emptyIfNull(const QString& expression) const
{
    return QLatin1String("COALESCE(") + (asText.isEmpty() ? expression : asText.arg(expression)) +
           QLatin1String(",'')");
}

const Dialect& Dialect::sqlite()
{
    static const Dialect dialect{QStringLiteral("kdb_upper"),
                                 QStringLiteral("RUS"),
                                 QStringLiteral("||"),
                                 QStringLiteral("1"),
                                 QStringLiteral("0"),
                                 QStringLiteral("kdb_search"),
                                 false,
                                 false,
                                 {},
                                 {},
                                 {},
                                 {},
                                 {}};
    return dialect;
}

const Dialect& Dialect::postgres()
{
    // Booleans stay the numbers 0 and 1 (a domain over smallint), so that filters and queries
    // written "arch=0" or "mf=1" mean on the server what they mean in the embedded store. The
    // collation rus and the functions kdb_upper and kdb_search are created with the schema
    // (pgschema.cpp).
    static const Dialect dialect{QStringLiteral("kdb_upper"),
                                 QStringLiteral("rus"),
                                 QStringLiteral("||"),
                                 QStringLiteral("1"),
                                 QStringLiteral("0"),
                                 QStringLiteral("kdb_search"),
                                 true,
                                 true,
                                 QStringLiteral(" NULLS FIRST"),
                                 QStringLiteral(" NULLS LAST"),
                                 // ICU gives U+FFFF the highest weight of all.
                                 QString(QChar(0xFFFF)),
                                 QStringLiteral("CAST(%1 AS text)"),
                                 {{QStringLiteral("DOUBLE"), QStringLiteral("double precision")},
                                  {QStringLiteral("BOOLEAN"), QStringLiteral("kdb_boolean")},
                                  {QStringLiteral("TEXT_MEMO"), QStringLiteral("kdb_memo")},
                                  {QStringLiteral("BLOB_GRAPHIC"), QStringLiteral("kdb_graphic")}}};
    return dialect;
}

QString dateToStore(const QDate& date)
{
    if (!date.isValid())
        return QString();
    return date.toString(Qt::ISODate);
}

QDate dateFromStore(const QString& text)
{
    // The store may hand back a date with a time part; only the day counts.
    if (text.size() < 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return QDate();
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    if (year < 0 || month < 0 || day < 0)
        return QDate();
    return QDate(year, month, day); // invalid for a day that does not exist
}

QDate parseDotDate(const QString& text)
{
    const int firstDot = text.indexOf(QLatin1Char('.'));
    const int secondDot = firstDot < 0 ? -1 : text.indexOf(QLatin1Char('.'), firstDot + 1);
    if (firstDot < 1 || firstDot > 2 || secondDot - firstDot - 1 < 1 ||
        secondDot - firstDot - 1 > 2 || text.size() - secondDot - 1 != 4)
        return QDate();
    const int day = digits(text, 0, firstDot);
    const int month = digits(text, firstDot + 1, secondDot - firstDot - 1);
    const int year = digits(text, secondDot + 1, 4);
    if (day < 0 || month < 0 || year <= 0)
        return QDate();
    return QDate(year, month, day);
}

} // namespace kdb
