#include "dataset.h"

#include "collation.h"
#include "database.h"
#include "error.h"
#include "store.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace kdb {

namespace {
constexpr int kPageRows = 64;       // rows fetched in one statement
constexpr size_t kCacheRows = 1024; // rows kept; the cache is emptied beyond that

std::string lowerKey(const QString& name)
{
    return name.toLower().toStdString();
}
} // namespace

Dataset::Dataset(QObject* parent) : QObject(parent) {}

Dataset::~Dataset()
{
    // A dataset dying in Edit must not keep its record locked.
    try {
        close();
    } catch (...) {
    }
}

namespace {
// "Сохранение записи невозможно": the operation of a dataset that its state refuses, as the
// user reads it.
QString impossible(const char* operation)
{
    static const std::pair<const char*, const char*> titles[] = {
        {"edit", "Редактирование записи"},  {"append", "Добавление записи"},
        {"post", "Сохранение записи"},      {"delete", "Удаление записи"},
        {"move", "Перемещение по записям"}, {"lookup", "Получение значения из справочника"},
    };
    for (const auto& [name, title] : titles) {
        if (qstrcmp(name, operation) == 0)
            return QString::fromUtf8(title) + QStringLiteral(" невозможно");
    }
    return QStringLiteral("Операция «%1» невозможна").arg(QString::fromLatin1(operation));
}
} // namespace

void Dataset::requireOpen(const char* operation) const
{
    if (m_state == State::Inactive)
        throw Error(Error::Code::State,
                    QStringLiteral("%1: набор данных %2 закрыт.")
                        .arg(impossible(operation),
                             m_source.displayName.isEmpty() ? objectName() : m_source.displayName),
                    m_source.displayName);
}

void Dataset::requireState(State state, const char* operation) const
{
    requireOpen(operation);
    if (m_state == state)
        return;
    QString what;
    switch (m_state) {
    case State::Edit:
        what = QStringLiteral("запись редактируется");
        break;
    case State::Insert:
        what = QStringLiteral("добавляется новая запись");
        break;
    default:
        what = QStringLiteral("запись не редактируется");
    }
    throw Error(Error::Code::State,
                QStringLiteral("%1: %2 (таблица %3).")
                    .arg(impossible(operation), what, m_source.displayName),
                m_source.displayName);
}

void Dataset::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
}

Error Dataset::storeError(const QString& operation, const Error& cause) const
{
    QString message = cause.message();
    QString field = cause.field();
    if (cause.code() == Error::Code::KeyViolation) {
        message = QStringLiteral("Такая запись уже есть в таблице %1: ключ повторяется.")
                      .arg(m_source.displayName);
    } else if (cause.code() == Error::Code::Constraint && !field.isEmpty()) {
        // A required field: named as the dataset knows it.
        if (const Field* f = findField(field))
            field = f->name();
        message = QStringLiteral("Не заполнено обязательное поле «%1» таблицы %2.")
                      .arg(field, m_source.displayName);
    } else if (cause.code() == Error::Code::Constraint && cause.message().contains(QChar(0xAB))) {
        // A condition of the table names its fields in its text; the first field of the
        // dataset it names is the one to correct.
        const int open = message.indexOf(QChar(0xAB));
        const int close = message.lastIndexOf(QChar(0xBB));
        const QString condition =
            open >= 0 && close > open ? message.mid(open + 1, close - open - 1) : QString();
        for (const auto& f : m_fields) {
            const QRegularExpression word(
                QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(f->name())),
                QRegularExpression::CaseInsensitiveOption);
            if (f->kind() == Field::Kind::Data && condition.contains(word)) {
                field = f->name();
                break;
            }
        }
        message =
            field.isEmpty()
                ? QStringLiteral("Значение не допускается условием «%1» таблицы %2.")
                      .arg(condition, m_source.displayName)
                : QStringLiteral("Значение поля «%1» не допускается условием «%2» таблицы %3.")
                      .arg(field, condition, m_source.displayName);
    } else if (!m_source.displayName.isEmpty() && !message.contains(m_source.displayName)) {
        message =
            QStringLiteral("%1 (таблица %2, %3)").arg(message, m_source.displayName, operation);
    }
    return Error(cause.code(), message, m_source.displayName, field);
}

// --- opening ---------------------------------------------------------------------------------

void Dataset::open()
{
    if (isOpen())
        return;
    m_source = openSource();
    m_source.db->attach(this);
    try {
        buildFields();
        m_compiledFilter = {};
        if (m_source.inMemory && m_filtered && !m_filter.trimmed().isEmpty())
            ensureStored();
        if (m_filtered && !m_filter.trimmed().isEmpty())
            m_compiledFilter = compileFilter(
                m_filter, [this](const QString& n) { return m_source.def.find(n); },
                m_source.db->store().dialect());
        m_state = State::Browse;
        loadKeys(0);
    } catch (...) {
        m_state = State::Inactive;
        disconnectLookups();
        m_fields.clear();
        m_source.db->detach(this);
        closeSource();
        throw;
    }
    m_pos = m_keys.empty() ? -1 : 0;
    m_eof = m_bof = m_keys.empty();
    Q_EMIT stateChanged();
    Q_EMIT layoutChanged();
    Q_EMIT currentChanged();
}

Dataset::Source Dataset::storeSource()
{
    throw Error(Error::Code::General,
                QStringLiteral("Набор данных %1 не фильтруется.").arg(m_source.displayName));
}

void Dataset::ensureStored()
{
    if (!m_source.inMemory)
        return;
    Source stored = storeSource();
    m_source = std::move(stored);
    m_pinned = false;
    dropCache();
}

void Dataset::close()
{
    if (!isOpen())
        return;
    if (m_state == State::Edit || m_state == State::Insert)
        cancel();
    m_pendingDeletes.clear();
    m_keys.clear();
    m_positions.clear();
    m_pinned = false;
    dropCache();
    m_pos = -1;
    m_eof = m_bof = true;
    m_state = State::Inactive;
    m_recordLocks.reset();
    disconnectLookups();
    if (m_source.db)
        m_source.db->detach(this);
    closeSource();
    m_fields.clear();
    Q_EMIT stateChanged();
    Q_EMIT layoutChanged();
}

void Dataset::buildFields()
{
    m_fields.clear();
    m_storeColumn.clear();
    auto addField = [this](const FieldDef& def, int storeColumn) {
        const int index = static_cast<int>(m_fields.size());
        m_fields.push_back(std::unique_ptr<Field>(new Field(this, def, index, Field::Kind::Data)));
        m_storeColumn.push_back(storeColumn);
    };
    if (m_declared.isEmpty()) {
        for (size_t i = 0; i < m_source.def.fields.size(); ++i)
            addField(m_source.def.fields[i], static_cast<int>(i));
    } else {
        for (const QString& name : m_declared) {
            const int column = m_source.def.indexOf(name);
            if (column < 0)
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Поле «%1» не найдено в таблице %2.")
                                .arg(name, m_source.displayName),
                            m_source.displayName, name);
            addField(m_source.def.fields[static_cast<size_t>(column)], column);
        }
    }
    for (const LookupSpec& spec : m_lookups) {
        if (!findField(spec.keyField))
            throw Error(Error::Code::NotFound,
                        QStringLiteral("Поле «%1» для подстановки «%2» не найдено в таблице %3.")
                            .arg(spec.keyField, spec.name, m_source.displayName),
                        m_source.displayName, spec.keyField);
        FieldDef def;
        def.name = spec.name;
        def.type = FieldType::String;
        def.size = spec.size;
        const int index = static_cast<int>(m_fields.size());
        auto field = std::unique_ptr<Field>(new Field(this, def, index, Field::Kind::Lookup));
        field->m_lookupDataset = spec.dataset;
        field->m_keyField = spec.keyField;
        field->m_lookupKeyField = spec.lookupKeyField;
        field->m_lookupResultField = spec.resultField;
        m_fields.push_back(std::move(field));
    }
    // A change of a name list shows at once in every lookup over it. The handler finds the
    // fields when it runs, never through a pointer kept from one open: close() deletes the
    // fields and drops the connections, which a reopen makes anew.
    for (const LookupSpec& spec : m_lookups) {
        Dataset* list = spec.dataset;
        if (!list || std::any_of(m_lookupConnections.begin(), m_lookupConnections.end(),
                                 [list](const auto& c) { return c.first == list; }))
            continue;
        m_lookupConnections.emplace_back(
            list, connect(list, &Dataset::layoutChanged, this, [this, list]() {
                for (auto& f : m_fields)
                    if (f->m_kind == Field::Kind::Lookup && f->m_lookupDataset == list)
                        f->m_lookupCache.clear();
            }));
    }
    for (auto& f : m_fields) {
        auto it = m_settings.find(lowerKey(f->name()));
        if (it == m_settings.end())
            continue;
        if (!it->second.displayValues.isEmpty())
            f->setDisplayValues(it->second.displayValues);
        f->setEditMask(it->second.editMask);
        f->setDisplayFormat(it->second.displayFormat);
        f->setReadOnly(it->second.readOnly);
    }
}

void Dataset::disconnectLookups()
{
    for (const auto& c : m_lookupConnections)
        disconnect(c.second);
    m_lookupConnections.clear();
}

void Dataset::declareFields(const QStringList& names)
{
    if (isOpen())
        throw Error(Error::Code::State,
                    QStringLiteral("Поля набора данных задаются до его открытия."));
    m_declared = names;
}

void Dataset::addLookupField(const QString& name, const QString& keyField, Dataset* lookupDataset,
                             const QString& lookupKeyField, const QString& resultField, int size)
{
    if (isOpen())
        throw Error(Error::Code::State,
                    QStringLiteral("Поля набора данных задаются до его открытия."));
    m_lookups.push_back({name, keyField, lookupKeyField, resultField, lookupDataset, size});
}

void Dataset::setDisplayValues(const QString& fieldName, const QString& trueFalse)
{
    m_settings[lowerKey(fieldName)].displayValues = trueFalse;
    if (Field* f = findField(fieldName))
        f->setDisplayValues(trueFalse);
}

void Dataset::setEditMask(const QString& fieldName, const QString& mask)
{
    m_settings[lowerKey(fieldName)].editMask = mask;
    if (Field* f = findField(fieldName))
        f->setEditMask(mask);
}

void Dataset::setDisplayFormat(const QString& fieldName, const QString& format)
{
    m_settings[lowerKey(fieldName)].displayFormat = format;
    if (Field* f = findField(fieldName))
        f->setDisplayFormat(format);
}

void Dataset::setFieldReadOnly(const QString& fieldName, bool readOnly)
{
    m_settings[lowerKey(fieldName)].readOnly = readOnly;
    if (Field* f = findField(fieldName))
        f->setReadOnly(readOnly);
}

Field* Dataset::findField(const QString& name) const
{
    for (const auto& f : m_fields)
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field& Dataset::fieldByName(const QString& name) const
{
    if (Field* f = findField(name))
        return *f;
    throw Error(
        Error::Code::NotFound,
        QStringLiteral("Поле «%1» не найдено в наборе данных %2.")
            .arg(name, m_source.displayName.isEmpty() ? objectName() : m_source.displayName),
        m_source.displayName, name);
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    for (const auto& f : m_fields)
        names << f->name();
    return names;
}

// --- the keyset and the rows -----------------------------------------------------------------

QString Dataset::whereClause(QVariantList& params) const
{
    QStringList parts;
    if (!m_source.baseWhere.isEmpty())
        parts << QLatin1Char('(') + m_source.baseWhere + QLatin1Char(')');
    if (!m_compiledFilter.where.isEmpty()) {
        parts << QLatin1Char('(') + m_compiledFilter.where + QLatin1Char(')');
        params += m_compiledFilter.params;
    }
    return parts.join(QStringLiteral(" AND "));
}

void Dataset::loadKeys(qint64 keepRowId)
{
    if (m_source.inMemory) {
        // The rows came with the source: their ids are their positions, counted from 1.
        m_keys.resize(m_source.rows.size());
        m_positions.clear();
        m_cache.clear();
        for (size_t i = 0; i < m_source.rows.size(); ++i) {
            m_keys[i] = static_cast<qint64>(i) + 1;
            Row row;
            row.reserve(m_storeColumn.size());
            for (size_t f = 0; f < m_storeColumn.size(); ++f)
                row.push_back(m_source.rows[i][static_cast<size_t>(m_storeColumn[f])]);
            m_cache.emplace(m_keys[i], std::move(row));
        }
        m_pinned = true;
        const int pos = keepRowId ? positionOf(keepRowId) : m_pos;
        m_pos = m_keys.empty() ? -1 : std::clamp(pos, 0, recordCount() - 1);
        return;
    }
    Store& store = m_source.db->store();
    const Dialect& d = store.dialect();
    QVariantList params;
    const QString where = whereClause(params);
    QString sql = QStringLiteral("SELECT ") + store.rowIdColumn() + QStringLiteral(" FROM ") +
                  d.quoteIdentifier(m_source.table);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    if (!m_source.orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + m_source.orderBy;
    std::vector<qint64> keys;
    keys.reserve(m_keys.size() + 16);
    try {
        auto c = store.select(sql, params);
        while (c->next())
            keys.push_back(c->int64(0));
    } catch (const Error& e) {
        throw storeError(QStringLiteral("чтение"), e);
    }
    if (!m_pendingDeletes.empty()) {
        // Held deletions stay invisible until they are applied or cancelled.
        std::vector<qint64> pending = m_pendingDeletes;
        std::sort(pending.begin(), pending.end());
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](qint64 k) {
                                      return std::binary_search(pending.begin(), pending.end(), k);
                                  }),
                   keys.end());
    }
    m_keys.swap(keys);
    m_positions.clear();
    dropCache();
    if (keepRowId) {
        const int pos = positionOf(keepRowId);
        m_pos = pos >= 0 ? pos : std::min(m_pos, recordCount() - 1);
    } else if (m_pos >= recordCount()) {
        m_pos = recordCount() - 1;
    }
    if (m_pos < 0 && !m_keys.empty())
        m_pos = 0;
    if (m_keys.empty())
        m_pos = -1;
}

int Dataset::positionOf(qint64 rowId) const
{
    // After a post or a refresh one scan of the keyset is cheaper than keeping an index of it
    // up to date: tens of microseconds at 100,000 rows.
    const auto it = std::find(m_keys.begin(), m_keys.end(), rowId);
    return it == m_keys.end() ? -1 : static_cast<int>(it - m_keys.begin());
}

int Dataset::searchPosition(qint64 rowId) const
{
    // Searches come in runs (a surname typed letter by letter): they share an index of the
    // keyset by row id, built at the first of them and dropped when the keyset changes.
    if (m_keys.size() < 1024)
        return positionOf(rowId);
    if (m_positions.empty()) {
        m_positions.reserve(m_keys.size());
        for (size_t i = 0; i < m_keys.size(); ++i)
            m_positions.emplace_back(m_keys[i], static_cast<int>(i));
        std::sort(m_positions.begin(), m_positions.end());
    }
    const auto it = std::lower_bound(m_positions.begin(), m_positions.end(),
                                     std::make_pair(rowId, std::numeric_limits<int>::min()));
    return it != m_positions.end() && it->first == rowId ? it->second : -1;
}

QString Dataset::selectList() const
{
    const Dialect& d = m_source.db->store().dialect();
    QString list = m_source.db->store().rowIdColumn();
    for (size_t i = 0; i < m_storeColumn.size(); ++i)
        list += QLatin1Char(',') +
                d.quoteIdentifier(m_source.def.fields[static_cast<size_t>(m_storeColumn[i])].name);
    return list;
}

void Dataset::fetchAround(int position) const
{
    if (m_pinned)
        return;
    if (m_cache.size() > kCacheRows)
        m_cache.clear();
    // The page holding the position, so that a grid scrolling row by row fetches once a page.
    const int start = position - position % kPageRows;
    const int end = std::min(recordCount(), start + kPageRows);
    QVariantList ids;
    for (int p = start; p < end; ++p) {
        const qint64 id = rowIdAt(p);
        if (m_cache.find(id) == m_cache.end())
            ids << QVariant(id);
    }
    if (ids.isEmpty())
        return;
    Store& store = m_source.db->store();
    QString marks;
    marks.reserve(ids.size() * 2);
    for (int i = 0; i < ids.size(); ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    const QString sql = QStringLiteral("SELECT ") + selectList() + QStringLiteral(" FROM ") +
                        store.dialect().quoteIdentifier(m_source.table) +
                        QStringLiteral(" WHERE ") + store.rowIdColumn() + QStringLiteral(" IN (") +
                        marks + QLatin1Char(')');
    try {
        auto c = store.select(sql, ids);
        while (c->next()) {
            Row row;
            row.reserve(m_storeColumn.size());
            for (size_t i = 0; i < m_storeColumn.size(); ++i)
                row.push_back(typedValue(c->value(static_cast<int>(i) + 1), m_fields[i]->type()));
            m_cache[c->int64(0)] = std::move(row);
        }
    } catch (const Error& e) {
        throw storeError(QStringLiteral("чтение"), e);
    }
    // Rows deleted meanwhile by another user read as empty until the next refresh.
    for (const QVariant& id : ids)
        m_cache.try_emplace(id.toLongLong(), Row(m_storeColumn.size()));
}

const Dataset::Row* Dataset::rowValues(int position) const
{
    if (position < 0 || position >= recordCount())
        return nullptr;
    const qint64 id = rowIdAt(position);
    auto it = m_cache.find(id);
    if (it == m_cache.end()) {
        fetchAround(position);
        it = m_cache.find(id);
    }
    return it == m_cache.end() ? nullptr : &it->second;
}

QVariant Dataset::valueAt(int row, int fieldIndex) const
{
    if (!isOpen() || fieldIndex < 0 || fieldIndex >= fieldCount())
        return QVariant();
    if (isEditing() && row == m_pos && m_state == State::Edit)
        return currentValue(fieldIndex);
    const Field& f = *m_fields[static_cast<size_t>(fieldIndex)];
    if (f.kind() == Field::Kind::Lookup) {
        const Field* key = findField(f.keyFieldName());
        return key ? f.lookupValue(valueAt(row, key->index())) : QVariant();
    }
    const Row* values = rowValues(row);
    return values ? (*values)[static_cast<size_t>(fieldIndex)] : QVariant();
}

QString Dataset::displayTextAt(int row, int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= fieldCount())
        return QString();
    return m_fields[static_cast<size_t>(fieldIndex)]->displayTextOf(valueAt(row, fieldIndex));
}

QVariant Dataset::currentValue(int fieldIndex) const
{
    const Field& f = *m_fields.at(static_cast<size_t>(fieldIndex));
    if (f.kind() == Field::Kind::Lookup) {
        const Field* key = findField(f.keyFieldName());
        return key ? f.lookupValue(key->value()) : QVariant();
    }
    if (isEditing())
        return m_buffer.at(static_cast<size_t>(fieldIndex));
    const Row* values = rowValues(m_pos);
    return values ? (*values)[static_cast<size_t>(fieldIndex)] : QVariant();
}

qint64 Dataset::currentRowId() const
{
    return (m_pos >= 0 && m_pos < recordCount()) ? rowIdAt(m_pos) : 0;
}

// --- the cursor ------------------------------------------------------------------------------

void Dataset::checkBrowseMode()
{
    requireOpen("move");
    if (!isEditing())
        return;
    if (m_modified || m_state == State::Insert)
        post();
    else
        cancel();
}

void Dataset::first()
{
    checkBrowseMode();
    m_pos = m_keys.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_keys.empty();
    Q_EMIT currentChanged();
}

void Dataset::last()
{
    checkBrowseMode();
    m_pos = recordCount() - 1;
    m_eof = true;
    m_bof = m_keys.empty();
    Q_EMIT currentChanged();
}

void Dataset::next()
{
    checkBrowseMode();
    if (m_pos + 1 < recordCount()) {
        ++m_pos;
        m_bof = false;
        m_eof = false;
        Q_EMIT currentChanged();
    } else {
        m_eof = true;
    }
}

void Dataset::prior()
{
    checkBrowseMode();
    if (m_pos > 0) {
        --m_pos;
        m_bof = false;
        m_eof = false;
        Q_EMIT currentChanged();
    } else {
        m_bof = true;
    }
}

void Dataset::setRecNo(int position)
{
    checkBrowseMode();
    if (m_keys.empty())
        return;
    const int pos = std::clamp(position, 0, recordCount() - 1);
    m_bof = m_eof = false;
    if (pos == m_pos)
        return;
    m_pos = pos;
    Q_EMIT currentChanged();
}

void Dataset::afterKeysChanged(int position)
{
    m_pos = m_keys.empty() ? -1 : std::clamp(position, 0, recordCount() - 1);
    m_eof = m_bof = m_keys.empty();
    Q_EMIT layoutChanged();
    Q_EMIT currentChanged();
}

void Dataset::refresh()
{
    checkBrowseMode();
    const qint64 keep = currentRowId();
    loadKeys(keep);
    afterKeysChanged(m_pos);
}

// --- filters ---------------------------------------------------------------------------------

void Dataset::setFilter(const QString& text)
{
    if (text == m_filter)
        return;
    if (!isOpen() || !m_filtered) {
        m_filter = text;
        return;
    }
    checkBrowseMode();
    if (!text.trimmed().isEmpty())
        ensureStored();
    CompiledFilter compiled;
    if (!text.trimmed().isEmpty())
        compiled = compileFilter(
            text, [this](const QString& n) { return m_source.def.find(n); },
            m_source.db->store().dialect());
    m_filter = text;
    m_compiledFilter = compiled;
    m_pos = 0;
    loadKeys(0);
    afterKeysChanged(0);
}

void Dataset::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    if (!isOpen()) {
        m_filtered = filtered;
        return;
    }
    checkBrowseMode();
    if (filtered && !m_filter.trimmed().isEmpty())
        ensureStored();
    CompiledFilter compiled;
    if (filtered && !m_filter.trimmed().isEmpty())
        compiled = compileFilter(
            m_filter, [this](const QString& n) { return m_source.def.find(n); },
            m_source.db->store().dialect());
    m_filtered = filtered;
    m_compiledFilter = compiled;
    loadKeys(0);
    afterKeysChanged(0);
}

// --- searching -------------------------------------------------------------------------------

namespace {
struct Condition {
    QString sql;
    QVariantList params;
};

// The WHERE part for "fields equal values" (or start with them, or either without regard to
// case). The prefix case adds a range on the collated field, which the name indexes answer
// directly: a surname locate over 100,000 candidates then reads a few index pages.
Condition matchCondition(const Dataset& ds, const Store& store, const QString& fields,
                         const QVariantList& values, int options)
{
    const Dialect& d = store.dialect();
    const QStringList names = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw Error(Error::Code::General,
                    QStringLiteral("Поиск по полям «%1»: задано значений %2 вместо %3.")
                        .arg(fields)
                        .arg(values.size())
                        .arg(names.size()),
                    ds.displayName());
    Condition c;
    QStringList parts;
    for (int i = 0; i < names.size(); ++i) {
        const Field& f = ds.fieldByName(names[i].trimmed());
        if (f.kind() != Field::Kind::Data)
            throw Error(
                Error::Code::General,
                QStringLiteral("Поиск по подстановочному полю «%1» невозможен.").arg(f.name()),
                ds.displayName(), f.name());
        const QString column = d.quoteIdentifier(f.name());
        const QVariant value = values[i];
        if (value.isNull() || (isTextType(f.type()) ? false : value.toString().isEmpty())) {
            parts << column + QStringLiteral(" IS NULL");
            continue;
        }
        if (isTextType(f.type())) {
            const QString text = value.toString();
            const bool partial = options & Dataset::PartialKey;
            const bool nocase = options & Dataset::CaseInsensitive;
            QString lhs = column;
            if (partial)
                lhs = QStringLiteral("substr(%1,1,%2)").arg(column).arg(text.size());
            if (nocase) {
                // Without regard to case, and Ё is Е: "ел" finds "Ёлкин".
                parts << d.searchFunction + QLatin1Char('(') + lhs + QStringLiteral(")=") +
                             d.searchFunction + QStringLiteral("(?)");
                c.params << text;
                if (partial) {
                    // Written with Е, the bound is the first of the texts it stands for in
                    // the Russian order, where Е comes before Ё between equal names.
                    parts << d.collate(column) + QStringLiteral(">=?");
                    const QString first = QString(text)
                                              .replace(QChar(0x401), QChar(0x415))
                                              .replace(QChar(0x451), QChar(0x435));
                    c.params << first;
                    if (!d.collationMaximum.isEmpty()) {
                        parts << d.collate(column) + QStringLiteral("<?");
                        c.params << first + d.collationMaximum;
                    }
                }
            } else {
                parts << lhs + QStringLiteral("=?");
                c.params << text;
            }
            continue;
        }
        parts << column + QStringLiteral("=?");
        c.params << storedValue(f.convert(value), f.type());
    }
    c.sql = parts.join(QStringLiteral(" AND "));
    return c;
}
} // namespace

bool Dataset::locate(const QString& fields, const QVariantList& values, int options)
{
    checkBrowseMode();
    if (m_keys.empty())
        return false;
    ensureStored(); // searches run in the store
    Store& store = m_source.db->store();
    const Condition cond = matchCondition(*this, store, fields, values, options);
    QVariantList params;
    QString where = whereClause(params);
    where = where.isEmpty() ? cond.sql : where + QStringLiteral(" AND ") + cond.sql;
    params += cond.params;
    const QString sql =
        QStringLiteral("SELECT ") + store.rowIdColumn() + QStringLiteral(" FROM ") +
        store.dialect().quoteIdentifier(m_source.table) + QStringLiteral(" WHERE ") + where +
        (m_source.orderBy.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + m_source.orderBy);
    try {
        auto c = store.select(sql, params);
        // The first match in order that the keyset holds (held deletions are not in it).
        while (c->next()) {
            const int pos = searchPosition(c->int64(0));
            if (pos >= 0) {
                m_pos = pos;
                m_eof = m_bof = false;
                Q_EMIT currentChanged();
                return true;
            }
        }
    } catch (const Error& e) {
        throw storeError(QStringLiteral("поиск"), e);
    }
    return false;
}

QVariant Dataset::lookup(const QString& keyFields, const QVariantList& keyValues,
                         const QString& resultField) const
{
    requireOpen("lookup");
    // Searches run in the store; storing a small in-memory result keeps its rows and order.
    const_cast<Dataset*>(this)->ensureStored();
    const Field& result = fieldByName(resultField);
    if (result.kind() != Field::Kind::Data)
        return QVariant();
    Store& store = m_source.db->store();
    const Condition cond = matchCondition(*this, store, keyFields, keyValues, NoOptions);
    QVariantList params;
    QString where = whereClause(params);
    where = where.isEmpty() ? cond.sql : where + QStringLiteral(" AND ") + cond.sql;
    params += cond.params;
    const QString sql =
        QStringLiteral("SELECT ") + store.dialect().quoteIdentifier(result.name()) +
        QStringLiteral(" FROM ") + store.dialect().quoteIdentifier(m_source.table) +
        QStringLiteral(" WHERE ") + where +
        (m_source.orderBy.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + m_source.orderBy) +
        QStringLiteral(" LIMIT 1");
    try {
        auto c = store.select(sql, params);
        if (c->next())
            return typedValue(c->value(0), result.type());
    } catch (const Error& e) {
        throw storeError(QStringLiteral("поиск"), e);
    }
    return QVariant();
}

// --- editing ---------------------------------------------------------------------------------

bool Dataset::canModify() const
{
    return isOpen() && m_source.editable && !m_readOnly;
}

static Error lockedError(const QString& table, bool deleting)
{
    return Error(Error::Code::RecordLocked,
                 deleting ? QStringLiteral("Запись таблицы %1 редактирует другой пользователь: "
                                           "удаление невозможно.")
                                .arg(table)
                          : QStringLiteral("Запись таблицы %1 редактирует другой пользователь. "
                                           "Повторите операцию позже.")
                                .arg(table),
                 table);
}

static Error readOnlyError(const QString& table)
{
    return Error(Error::Code::ReadOnly,
                 QStringLiteral("Набор данных %1 только для чтения.").arg(table), table);
}

void Dataset::setBufferValue(int fieldIndex, const QVariant& value)
{
    if (!isEditing())
        throw Error(Error::Code::State,
                    QStringLiteral("Запись не редактируется: значение поля «%1» не изменить.")
                        .arg(m_fields.at(static_cast<size_t>(fieldIndex))->name()),
                    m_source.displayName, m_fields.at(static_cast<size_t>(fieldIndex))->name());
    QVariant& slot = m_buffer.at(static_cast<size_t>(fieldIndex));
    if (slot == value && slot.isNull() == value.isNull())
        return;
    slot = value;
    m_changed.at(static_cast<size_t>(fieldIndex)) = true;
    m_modified = true;
    Q_EMIT fieldChanged(fieldIndex);
}

void Dataset::edit()
{
    requireOpen("edit");
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (!canModify())
        throw readOnlyError(m_source.displayName);
    if (m_keys.empty())
        throw Error(
            Error::Code::State,
            QStringLiteral("В таблице %1 нет записи для изменения.").arg(m_source.displayName),
            m_source.displayName);
    if (beforeEdit)
        beforeEdit(*this);
    const qint64 id = currentRowId();
    Store& store = m_source.db->store();
    if (m_source.lockable && !recordLocks().tryLock(m_source.table, id))
        throw lockedError(m_source.displayName, false);
    m_lockedRowId = m_source.lockable ? id : 0;
    try {
        // Edit what is stored now, not what was read minutes ago.
        m_cache.erase(id);
        const Row* row = rowValues(m_pos);
        if (!row ||
            std::all_of(row->begin(), row->end(), [](const QVariant& v) { return v.isNull(); })) {
            QVariantList params{QVariant(id)};
            auto c = store.select(
                QStringLiteral("SELECT 1 FROM ") + store.dialect().quoteIdentifier(m_source.table) +
                    QStringLiteral(" WHERE ") + store.rowIdColumn() + QStringLiteral("=?"),
                params);
            if (!c->next())
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Запись таблицы %1 удалена другим пользователем.")
                                .arg(m_source.displayName),
                            m_source.displayName);
        }
        m_buffer = row ? *row : Row(m_storeColumn.size());
    } catch (...) {
        unlockRecord();
        throw;
    }
    m_buffer.resize(m_fields.size());
    m_changed.assign(m_fields.size(), false);
    m_modified = false;
    setState(State::Edit);
}

void Dataset::append()
{
    requireOpen("append");
    if (!canModify())
        throw readOnlyError(m_source.displayName);
    checkBrowseMode();
    m_posBeforeInsert = m_pos;
    m_buffer.assign(m_fields.size(), QVariant());
    m_changed.assign(m_fields.size(), false);
    m_modified = false;
    setState(State::Insert);
    if (onNewRecord) {
        try {
            onNewRecord(*this);
        } catch (...) {
            cancel();
            throw;
        }
        // Defaults are not the user's changes: a row left untouched may be cancelled.
        m_modified = false;
    }
    Q_EMIT currentChanged();
}

void Dataset::insertRecord(const QVariantList& values)
{
    append();
    try {
        const auto& defs = m_source.def.fields;
        if (values.size() > static_cast<int>(defs.size()))
            throw Error(Error::Code::General,
                        QStringLiteral("Слишком много значений для таблицы %1: %2 вместо %3.")
                            .arg(m_source.displayName)
                            .arg(values.size())
                            .arg(defs.size()),
                        m_source.displayName);
        for (int i = 0; i < values.size(); ++i) {
            if (values[i].isNull())
                continue;
            const FieldDef& def = defs[static_cast<size_t>(i)];
            Field* f = findField(def.name);
            if (!f || f->kind() != Field::Kind::Data)
                throw Error(Error::Code::NotFound,
                            QStringLiteral("Поле «%1» не входит в набор данных %2.")
                                .arg(def.name, m_source.displayName),
                            m_source.displayName, def.name);
            if (def.type == FieldType::AutoInc)
                throw Error(Error::Code::ReadOnly,
                            QStringLiteral("Поле «%1» заполняется таблицей %2 само.")
                                .arg(def.name, m_source.displayName),
                            m_source.displayName, def.name);
            setBufferValue(f->index(), f->convert(values[i]));
        }
        post();
    } catch (...) {
        if (m_state == State::Insert)
            cancel();
        throw;
    }
}

void Dataset::post()
{
    requireOpen("post");
    if (!isEditing())
        return;
    if (beforePost)
        beforePost(*this);
    requireKeys();
    Store& store = m_source.db->store();
    const Dialect& d = store.dialect();
    qint64 id = 0;
    try {
        if (m_state == State::Insert) {
            QStringList columns, marks;
            QVariantList params;
            for (size_t i = 0; i < m_storeColumn.size(); ++i) {
                if (m_buffer[i].isNull() || m_fields[i]->type() == FieldType::AutoInc)
                    continue;
                columns << d.quoteIdentifier(m_fields[i]->name());
                marks << QStringLiteral("?");
                params << storedValue(m_buffer[i], m_fields[i]->type());
            }
            const QString sql =
                columns.isEmpty()
                    ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES")
                          .arg(d.quoteIdentifier(m_source.table))
                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(d.quoteIdentifier(m_source.table), columns.join(QLatin1Char(',')),
                               marks.join(QLatin1Char(',')));
            store.exec(sql, params);
            id = store.lastInsertRowId();
        } else {
            id = m_lockedRowId ? m_lockedRowId : currentRowId();
            QStringList sets;
            QVariantList params;
            for (size_t i = 0; i < m_storeColumn.size(); ++i) {
                if (!m_changed[i])
                    continue;
                sets << d.quoteIdentifier(m_fields[i]->name()) + QStringLiteral("=?");
                params << storedValue(m_buffer[i], m_fields[i]->type());
            }
            if (!sets.isEmpty()) {
                params << QVariant(id);
                const int changed =
                    store.exec(QStringLiteral("UPDATE %1 SET %2 WHERE %3=?")
                                   .arg(d.quoteIdentifier(m_source.table),
                                        sets.join(QLatin1Char(',')), store.rowIdColumn()),
                               params);
                if (changed == 0)
                    throw Error(Error::Code::NotFound,
                                QStringLiteral("Запись таблицы %1 удалена другим пользователем: "
                                               "изменения не сохранены.")
                                    .arg(m_source.displayName),
                                m_source.displayName);
            }
        }
    } catch (const Error& e) {
        throw storeError(QStringLiteral("сохранение"), e);
    }
    const bool inserted = m_state == State::Insert;
    const int oldPos = inserted ? m_posBeforeInsert : m_pos;
    bool orderChanged = false;
    for (size_t i = 0; i < m_changed.size() && !orderChanged; ++i)
        for (const auto& term : m_source.orderColumns)
            if (m_changed[i] && m_fields[i]->name().compare(term.first, Qt::CaseInsensitive) == 0)
                orderChanged = true;
    unlockRecord();
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    m_state = State::Browse;
    m_cache.erase(id);
    placePostedRow(id, inserted, orderChanged, oldPos);
    m_eof = m_bof = false;
    Q_EMIT stateChanged();
    Q_EMIT layoutChanged();
    Q_EMIT currentChanged();
    if (afterPost)
        afterPost(*this);
}

bool Dataset::passesFilter(qint64 rowId) const
{
    QVariantList params;
    const QString where = whereClause(params);
    if (where.isEmpty())
        return true;
    Store& store = m_source.db->store();
    params << QVariant(rowId);
    auto c = store.select(QStringLiteral("SELECT 1 FROM ") +
                              store.dialect().quoteIdentifier(m_source.table) +
                              QStringLiteral(" WHERE ") + where + QStringLiteral(" AND ") +
                              store.rowIdColumn() + QStringLiteral("=?"),
                          params);
    return c->next();
}

std::vector<QVariant> Dataset::orderValues(const QString& sql, qint64 rowId) const
{
    auto c = m_source.db->store().select(sql, {QVariant(rowId)});
    std::vector<QVariant> values;
    if (c->next())
        for (int i = 0; i < c->columnCount(); ++i)
            values.push_back(c->value(i));
    return values;
}

namespace {
// The store's order of two stored values: null first, numbers, then texts (in the column's
// collation), then binary data.
int storeOrder(const QVariant& a, const QVariant& b, const QString& collation)
{
    auto rank = [](const QVariant& v) {
        if (v.isNull())
            return 0;
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
            return 2;
        default:
            return 3;
        }
    };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0:
        return 0;
    case 1: {
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
            return a.toLongLong() < b.toLongLong() ? -1 : (a.toLongLong() > b.toLongLong() ? 1 : 0);
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 2:
        if (!collation.isEmpty())
            return compareRussian(a.toString(), b.toString());
        return a.toString().toUtf8().compare(b.toString().toUtf8());
    default:
        return a.toByteArray().compare(b.toByteArray());
    }
}
} // namespace

int Dataset::orderedPosition(qint64 rowId) const
{
    // Binary search over the keyset with the row's order values: a posted row finds its place
    // in a few reads, where re-reading the keyset of 100,000 rows would take milliseconds.
    Store& store = m_source.db->store();
    const Dialect& d = store.dialect();
    QStringList columns;
    for (const auto& term : m_source.orderColumns)
        columns << d.quoteIdentifier(term.first);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
                            .arg(columns.join(QLatin1Char(',')), d.quoteIdentifier(m_source.table),
                                 store.rowIdColumn());
    const std::vector<QVariant> target = orderValues(sql, rowId);
    // Where the probe's row stands against the posted one: negative before it.
    auto compare = [&](qint64 probe) {
        const std::vector<QVariant> values = orderValues(sql, probe);
        int cmp = 0;
        for (size_t i = 0; i < target.size() && i < values.size() && cmp == 0; ++i)
            cmp = storeOrder(values[i], target[i], m_source.orderColumns[i].second);
        if (cmp == 0)
            cmp = probe < rowId ? -1 : (probe > rowId ? 1 : 0);
        return cmp;
    };
    int lo = 0, hi = recordCount();
    // Rows mostly join at the end (a new key, the next line of a list): one read settles that.
    if (hi > 0 && compare(rowIdAt(hi - 1)) < 0)
        return hi;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (compare(rowIdAt(mid)) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void Dataset::placePostedRow(qint64 rowId, bool inserted, bool orderChanged, int oldPos)
{
    if (m_source.inMemory) {
        loadKeys(rowId);
        return;
    }
    const int current = inserted ? -1 : positionOf(rowId);
    if (!inserted && current >= 0 && !orderChanged) {
        m_pos = current; // an edit that leaves the order alone keeps the row where it is
        return;
    }
    m_positions.clear();
    if (current >= 0)
        m_keys.erase(m_keys.begin() + current);
    if (passesFilter(rowId)) {
        const int at =
            m_source.orderColumns.empty()
                ? static_cast<int>(std::upper_bound(m_keys.begin(), m_keys.end(), rowId) -
                                   m_keys.begin())
                : orderedPosition(rowId);
        m_keys.insert(m_keys.begin() + at, rowId);
        m_pos = at;
        return;
    }
    // Posted outside the filter: it stays visible where it was until the next refresh.
    const int at = std::clamp(oldPos + (inserted ? 1 : 0), 0, recordCount());
    m_keys.insert(m_keys.begin() + at, rowId);
    m_pos = at;
}

// A single integer key without AUTOINCREMENT (ZAYAVZ's Keyn, the request's own number) is
// written by the program, but the store would fill a missing one with a row id of its own,
// hiding a card that forgot to copy its key: such a row is refused instead. (The parts of a
// composite key are NOT NULL in the schema, which the store enforces itself.)
void Dataset::requireKeys() const
{
    int keyColumn = -1;
    for (size_t column = 0; column < m_source.def.fields.size(); ++column) {
        if (!m_source.def.fields[column].primaryKey)
            continue;
        if (keyColumn >= 0)
            return;
        keyColumn = static_cast<int>(column);
    }
    if (keyColumn < 0 ||
        m_source.def.fields[static_cast<size_t>(keyColumn)].type != FieldType::Integer)
        return;
    const auto it = std::find(m_storeColumn.begin(), m_storeColumn.end(), keyColumn);
    const size_t i = static_cast<size_t>(it - m_storeColumn.begin());
    const bool given = it != m_storeColumn.end() && !m_buffer[i].isNull();
    const bool kept = m_state == State::Edit && (it == m_storeColumn.end() || !m_changed[i]);
    if (given || kept)
        return;
    const QString& name = m_source.def.fields[static_cast<size_t>(keyColumn)].name;
    throw Error(Error::Code::General,
                QStringLiteral("Не заполнено ключевое поле «%1» таблицы %2: запись не сохранена.")
                    .arg(name, m_source.displayName),
                m_source.displayName, name);
}

void Dataset::cancel()
{
    if (!isEditing())
        return;
    const bool inserting = m_state == State::Insert;
    unlockRecord();
    m_buffer.clear();
    m_changed.clear();
    m_modified = false;
    if (inserting) {
        m_pos = m_keys.empty() ? -1 : std::clamp(m_posBeforeInsert, 0, recordCount() - 1);
    } else {
        m_cache.erase(currentRowId());
    }
    setState(State::Browse);
    Q_EMIT currentChanged();
}

RecordLockHolder& Dataset::recordLocks()
{
    if (!m_recordLocks)
        m_recordLocks = m_source.db->store().newRecordLockHolder();
    return *m_recordLocks;
}

void Dataset::unlockRecord()
{
    if (m_lockedRowId && m_recordLocks)
        m_recordLocks->unlock(m_source.table, m_lockedRowId);
    m_lockedRowId = 0;
}

void Dataset::remove()
{
    requireOpen("delete");
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (!canModify())
        throw readOnlyError(m_source.displayName);
    if (m_keys.empty())
        throw Error(
            Error::Code::State,
            QStringLiteral("В таблице %1 нет записи для удаления.").arg(m_source.displayName),
            m_source.displayName);
    if (beforeDelete)
        beforeDelete(*this);
    const qint64 id = currentRowId();
    const int pos = m_pos;
    if (m_cachedUpdates) {
        if (m_state == State::Edit)
            cancel();
        m_pendingDeletes.push_back(id);
    } else {
        Store& store = m_source.db->store();
        const bool ownLock = m_state == State::Edit && m_lockedRowId == id;
        if (m_source.lockable && !ownLock && !recordLocks().tryLock(m_source.table, id))
            throw lockedError(m_source.displayName, true);
        try {
            store.exec(
                QStringLiteral("DELETE FROM %1 WHERE %2=?")
                    .arg(store.dialect().quoteIdentifier(m_source.table), store.rowIdColumn()),
                {QVariant(id)});
        } catch (const Error& e) {
            // A failed delete of the row being edited leaves the edit and its lock as they were.
            if (m_source.lockable && !ownLock)
                recordLocks().unlock(m_source.table, id);
            throw storeError(QStringLiteral("удаление"), e);
        }
        if (m_source.lockable)
            recordLocks().unlock(m_source.table, id);
        if (ownLock) {
            m_lockedRowId = 0;
            m_buffer.clear();
            m_changed.clear();
            m_modified = false;
            m_state = State::Browse;
            Q_EMIT stateChanged();
        }
    }
    m_keys.erase(m_keys.begin() + pos);
    m_positions.clear();
    m_cache.erase(id);
    afterKeysChanged(pos);
}

// --- cached updates --------------------------------------------------------------------------

void Dataset::setCachedUpdates(bool on)
{
    if (on == m_cachedUpdates)
        return;
    if (!on && !m_pendingDeletes.empty())
        cancelUpdates();
    m_cachedUpdates = on;
}

void Dataset::cancelUpdates()
{
    if (m_pendingDeletes.empty())
        return;
    m_pendingDeletes.clear();
    if (isOpen()) {
        const qint64 keep = currentRowId();
        loadKeys(keep);
        afterKeysChanged(m_pos);
    }
}

void Dataset::applyPendingDeletes()
{
    if (m_pendingDeletes.empty())
        return;
    Store& store = m_source.db->store();
    const QString sql =
        QStringLiteral("DELETE FROM %1 WHERE %2=?")
            .arg(store.dialect().quoteIdentifier(m_source.table), store.rowIdColumn());
    std::vector<qint64> locked;
    try {
        for (qint64 id : m_pendingDeletes) {
            if (m_source.lockable) {
                if (!recordLocks().tryLock(m_source.table, id))
                    throw lockedError(m_source.displayName, true);
                locked.push_back(id);
            }
            store.exec(sql, {QVariant(id)});
        }
    } catch (const Error& e) {
        for (qint64 id : locked)
            recordLocks().unlock(m_source.table, id);
        throw e.code() == Error::Code::RecordLocked ? e : storeError(QStringLiteral("удаление"), e);
    }
    for (qint64 id : locked)
        recordLocks().unlock(m_source.table, id);
}

} // namespace kdb
