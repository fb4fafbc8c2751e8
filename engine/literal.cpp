#include "literal.h"

namespace kdb {

QString textLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            out += QLatin1Char('\'');
        // The store reads a statement only up to a NUL character: one inside a literal would
        // cut the statement short. Typed text never holds one.
        if (c.unicode() == 0)
            continue;
        out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

} // namespace kdb
