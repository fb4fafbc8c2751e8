#include "field.h"

#include "dataset.h"
#include "dialect.h"
#include "error.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <limits>

namespace kdb {

Field::Field(Dataset* dataset, FieldDef def, int index, Kind kind)
    : m_dataset(dataset), m_def(std::move(def)), m_index(index), m_kind(kind)
{
}

QVariant Field::value() const
{
    return m_dataset->currentValue(m_index);
}

QString Field::asString() const
{
    const QVariant v = value();
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

int Field::asInt() const
{
    return value().toInt();
}
double Field::asDouble() const
{
    return value().toDouble();
}
bool Field::asBool() const
{
    return value().toBool();
}
QDate Field::asDate() const
{
    return value().toDate();
}

void Field::setValue(const QVariant& value)
{
    if (m_kind == Kind::Lookup)
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Поле «%1» показывает значение из справочника и не изменяется.")
                        .arg(m_def.name),
                    m_dataset->displayName(), m_def.name);
    if (readOnly())
        throw Error(Error::Code::ReadOnly,
                    QStringLiteral("Поле «%1» только для чтения.").arg(m_def.name),
                    m_dataset->displayName(), m_def.name);
    m_dataset->setBufferValue(m_index, convert(value));
}

QVariant Field::convert(const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString().trimmed() : QString();
    if (isText && text.isEmpty() && !isTextType(m_def.type) && m_def.type != FieldType::Unknown)
        return QVariant(); // an emptied box clears a number or a date
    auto bad = [&]() -> Error {
        return Error(
            Error::Code::Syntax,
            QStringLiteral("Значение «%1» не подходит для поля «%2» (%3).")
                .arg(value.toString(), m_def.name, QString::fromLatin1(typeName(m_def.type))),
            m_dataset->displayName(), m_def.name);
    };
    switch (m_def.type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt: {
        qint64 n = 0;
        bool ok = true;
        switch (value.typeId()) {
        case QMetaType::Bool:
            n = value.toBool() ? 1 : 0;
            break;
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            ok = std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.2e18;
            n = ok ? static_cast<qint64>(d) : 0;
            break;
        }
        case QMetaType::QString:
            n = text.toLongLong(&ok);
            break;
        default:
            n = value.toLongLong(&ok);
        }
        const qint64 lo =
            m_def.type == FieldType::SmallInt ? -32768 : std::numeric_limits<int>::min();
        const qint64 hi =
            m_def.type == FieldType::SmallInt ? 32767 : std::numeric_limits<int>::max();
        if (!ok || n < lo || n > hi)
            throw bad();
        return QVariant(static_cast<int>(n));
    }
    case FieldType::Float: {
        bool ok = true;
        double d = 0;
        if (isText) {
            QString t = text;
            t.replace(QLatin1Char(','), QLatin1Char('.'));
            t.remove(QLatin1Char(' '));
            d = t.toDouble(&ok);
        } else {
            d = value.toDouble(&ok);
        }
        if (!ok || !std::isfinite(d))
            throw bad();
        return QVariant(d);
    }
    case FieldType::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (isText) {
            const QString t = text.toLower();
            if (t == QLatin1String("true") || t == QLatin1String("1") ||
                t == m_trueText.toLower() || t == QStringLiteral("да"))
                return QVariant(true);
            if (t == QLatin1String("false") || t == QLatin1String("0") ||
                t == m_falseText.toLower() || t == QStringLiteral("нет"))
                return QVariant(false);
            throw bad();
        }
        bool ok = true;
        const qint64 n = value.toLongLong(&ok);
        if (!ok)
            throw bad();
        return QVariant(n != 0);
    }
    case FieldType::Date: {
        QDate d;
        if (value.typeId() == QMetaType::QDate)
            d = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            d = value.toDateTime().date();
        else if (isText) {
            d = parseDotDate(text);
            if (!d.isValid())
                d = QDate::fromString(text, Qt::ISODate);
        }
        if (!d.isValid())
            throw bad();
        return QVariant(d);
    }
    case FieldType::String: {
        QString s = value.typeId() == QMetaType::Bool
                        ? (value.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
                        : value.toString();
        if (m_def.size > 0 && s.size() > m_def.size)
            s.truncate(m_def.size); // a longer text is cut to the field's width, not refused
        return QVariant(s);
    }
    case FieldType::Memo:
        return QVariant(value.toString());
    case FieldType::Graphic:
        return QVariant(value.toByteArray());
    case FieldType::Unknown:
        break;
    }
    return value;
}

void Field::setDisplayValues(const QString& trueFalse)
{
    const int semicolon = trueFalse.indexOf(QLatin1Char(';'));
    m_trueText = semicolon < 0 ? trueFalse : trueFalse.left(semicolon);
    m_falseText = semicolon < 0 ? QString() : trueFalse.mid(semicolon + 1);
}

QString Field::displayText() const
{
    return displayTextOf(value());
}

QString Field::displayTextOf(const QVariant& v) const
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Bool:
        if (!m_trueText.isEmpty() || !m_falseText.isEmpty())
            return v.toBool() ? m_trueText : m_falseText;
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::Double: {
        const int dot = m_displayFormat.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            const int decimals = static_cast<int>(m_displayFormat.size() - dot - 1);
            return QLocale(QLocale::Russian).toString(v.toDouble(), 'f', decimals);
        }
        return QLocale(QLocale::Russian).toString(v.toDouble(), 'g', 15);
    }
    default:
        return v.toString();
    }
}

QVariant Field::lookupValue(const QVariant& key) const
{
    if (key.isNull() || !m_lookupDataset || !m_lookupDataset->isOpen())
        return QVariant();
    const QString cacheKey = key.toString();
    auto it = m_lookupCache.constFind(cacheKey);
    if (it != m_lookupCache.constEnd())
        return *it;
    const QVariant result = m_lookupDataset->lookup(m_lookupKeyField, {key}, m_lookupResultField);
    if (m_lookupCache.size() > 4096)
        m_lookupCache.clear();
    m_lookupCache.insert(cacheKey, result);
    return result;
}

} // namespace kdb
