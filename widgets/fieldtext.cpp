#include "fieldtext.h"

#include "field.h"

namespace widgets {

namespace {

bool isNumber(kdb::FieldType type)
{
    return kdb::isIntegerType(type) || type == kdb::FieldType::Float;
}

QString withoutGroupSeparators(QString text)
{
    text.remove(QChar(0x00A0));
    text.remove(QChar(0x202F));
    text.remove(QLatin1Char(' '));
    return text;
}

} // namespace

QString editTextOf(const kdb::Field& field, const QVariant& value)
{
    const QString text = field.displayTextOf(value);
    return isNumber(field.type()) ? withoutGroupSeparators(text) : text;
}

QVariant valueFromText(const kdb::Field& field, const QString& text)
{
    const kdb::FieldType type = field.type();
    if (kdb::isTextType(type))
        return text.isEmpty() ? QVariant() : QVariant(text);
    QString t = text.trimmed();
    if (isNumber(type))
        t = withoutGroupSeparators(t);
    if (type == kdb::FieldType::Date) {
        t.replace(QLatin1Char('/'), QLatin1Char('.'));
        // What an input mask leaves of an untouched box: its separators.
        bool digits = false;
        for (QChar c : t)
            digits = digits || c.isDigit();
        if (!digits)
            t.clear();
    }
    return t.isEmpty() ? QVariant() : QVariant(t);
}

QString inputMaskFor(const QString& editMask)
{
    if (editMask.isEmpty())
        return QString();
    const QStringList parts = editMask.split(QLatin1Char(';'));
    const QString& pattern = parts.first();
    const QString blank =
        parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral("_");
    QString out;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        switch (c.unicode()) {
        case '!': // leading blanks are trimmed: nothing to tell Qt
            break;
        case '0': // a digit that must be typed
            out += QLatin1Char('9');
            break;
        case '9': // a digit that may be left blank
            out += QLatin1Char('0');
            break;
        case 'L':
            out += QLatin1Char('A');
            break;
        case 'l':
            out += QLatin1Char('a');
            break;
        case 'A':
            out += QLatin1Char('N');
            break;
        case 'a':
            out += QLatin1Char('n');
            break;
        case 'C':
            out += QLatin1Char('X');
            break;
        case 'c':
            out += QLatin1Char('x');
            break;
        case '#':
        case '>':
        case '<':
            out += c;
            break;
        case '/': // the locale's date separator
            out += QLatin1Char('.');
            break;
        case '\\':
            if (i + 1 < pattern.size())
                out += QLatin1Char('\\') + pattern[++i];
            break;
        default:
            // Other characters are literals; those Qt reads as mask characters are escaped.
            if (QStringLiteral("AaNnXx9D0dHhBb#>!<|\\[]{}").contains(c))
                out += QLatin1Char('\\');
            out += c;
        }
    }
    return out + QLatin1Char(';') + blank;
}

} // namespace widgets
