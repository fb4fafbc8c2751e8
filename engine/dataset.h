#pragma once

#include "error.h"
#include "field.h"
#include "filter.h"
#include "types.h"

#include <QObject>
#include <QVariantList>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kdb {

class Database;
class RecordLockHolder;

// A dataset: an ordered, optionally filtered set of rows of one stored table (Table) or of a
// query's result (Query), with one current record.
//
// The rows are a keyset: the row identities in order, read when the dataset opens or is
// refreshed; row values are fetched from the store in pages when they are needed. Counts,
// moves and locates see only the rows that pass the filter.
//
// The cursor:
//   open()            the first row is current; on an empty set eof() and bof() are both true.
//   next() on last    eof() becomes true, the last row stays current.
//   prior() on first  bof() becomes true, the first row stays current.
//   first(), last()   clear eof() and bof() (unless the set is empty).
//   remove()          the row after the deleted one becomes current, or the new last row.
//   post()            the posted row is current, wherever the order puts it; a row that does
//                     not pass the filter stays in the set (and current) until refresh().
//   moves, append(), refresh(), a new filter: a pending edit is posted first when it changed
//                     something, cancelled otherwise (leaving a row posts it).
//   setFilter()       the first row that passes is current.
//   cancel()          after append()/insert() the row current before them is current again.
//   refresh()         re-reads the keyset; the current row stays current if it still exists.
//
// States: Inactive (closed), Browse, Edit (edit() took the record lock), Insert (append() or
// insert() started a new row). Field values may be set only in Edit and Insert.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum LocateOption { NoOptions = 0, CaseInsensitive = 1, PartialKey = 2 };
    using Hook = std::function<void(Dataset&)>;

    explicit Dataset(QObject* parent = nullptr);
    ~Dataset() override;

    // --- opening
    void open();
    void close();
    void setActive(bool active) { active ? open() : close(); }
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }

    // --- the cursor
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return m_keys.empty(); }
    int recordCount() const { return static_cast<int>(m_keys.size()); }
    int recNo() const { return m_pos; } // 0-based position, -1 when empty
    void setRecNo(int position);        // clamps into the set
    void refresh();

    // --- fields
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field& field(int index) const { return *m_fields.at(static_cast<size_t>(index)); }
    Field& fieldByName(const QString& name) const; // any letter case; Error(NotFound)
    Field* findField(const QString& name) const;   // null when absent
    QStringList fieldNames() const;
    QVariant value(const QString& fieldName) const { return fieldByName(fieldName).value(); }

    // Before open: offer only these fields of the table, in this order (declared fields).
    void declareFields(const QStringList& names);
    // Before open: a lookup field (see Field). Lookup fields follow the data fields.
    void addLookupField(const QString& name, const QString& keyField, Dataset* lookupDataset,
                        const QString& lookupKeyField, const QString& resultField, int size);
    // Display settings survive close/open: they are kept per field name and applied on open.
    void setDisplayValues(const QString& fieldName, const QString& trueFalse);
    void setEditMask(const QString& fieldName, const QString& mask);
    void setDisplayFormat(const QString& fieldName, const QString& format);
    void setFieldReadOnly(const QString& fieldName, bool readOnly);

    // A value of any row without moving the cursor (for grids); row is 0-based.
    QVariant valueAt(int row, int fieldIndex) const;
    QString displayTextAt(int row, int fieldIndex) const;

    // --- editing
    void append();
    void insert() { append(); } // rows take their place by the order, not by the cursor
    void edit();                // takes the record lock; Error(RecordLocked) at once if held
    void post();                // writes only the fields that changed; commits at once
    void cancel();
    void remove(); // deletes the current row (held while cachedUpdates is on)
    // A new row from values in physical field order (null for the auto-increment key), posted.
    void insertRecord(const QVariantList& values);
    bool modified() const { return m_modified; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool canModify() const;

    // --- filters
    void setFilter(const QString& text); // Error(Syntax/NotFound) for a bad text when open
    const QString& filter() const { return m_filter; }
    void setFiltered(bool filtered);
    bool filtered() const { return m_filtered; }

    // --- searching
    // Fields joined by ";", one value each. PartialKey: a text field's value is a prefix;
    // CaseInsensitive: texts compare without regard to case, and Ё as Е. The first row in the
    // current order that matches becomes current; false (cursor unchanged) when none does.
    bool locate(const QString& fields, const QVariantList& values, int options = NoOptions);
    // The resultField of the first row (in order, passing the filter) whose keyFields equal
    // keyValues; null when none. The cursor does not move.
    QVariant lookup(const QString& keyFields, const QVariantList& keyValues,
                    const QString& resultField) const;

    // --- cached updates: deletions are held until Database::applyUpdates writes them
    void setCachedUpdates(bool on);
    bool cachedUpdates() const { return m_cachedUpdates; }
    bool updatesPending() const { return !m_pendingDeletes.empty(); }
    void cancelUpdates(); // forgets held deletions; the rows come back

    // --- rules of the data module (run on the user-interface thread; a hook may throw
    // Abort or Error to refuse: the operation is then undone)
    Hook onNewRecord; // after append(): the new row's defaults
    Hook beforeEdit;
    Hook beforeDelete;
    Hook beforePost;
    Hook afterPost;

    Database* database() const { return m_source.db; }
    // The name used in messages: the table's file name or the query's name.
    const QString& displayName() const { return m_source.displayName; }
    // The store row identity of the current row (0 when none).
    qint64 currentRowId() const;

Q_SIGNALS:
    void stateChanged();
    void currentChanged();             // another row became current, or its values were re-read
    void fieldChanged(int fieldIndex); // a field of the edit buffer was set
    void layoutChanged();              // opened, closed, refreshed, refiltered: rows renumbered

protected:
    // What a subclass gives the dataset to work on.
    struct Source {
        Database* db = nullptr;
        QString table;       // store table holding the rows (a temporary one for queries)
        QString displayName; // for messages, e.g. "RESERV.DB"
        TableDef def;        // every field of that table
        QString orderBy;     // store SQL ORDER BY terms; the row id ends it as tie-break
        // The same order as (column, collation) pairs, before the row id; empty when the order
        // is the row id alone. A posted row finds its place by it without re-reading the keyset.
        std::vector<std::pair<QString, QString>> orderColumns;
        QString baseWhere; // store SQL restricting the rows beside the filter, or empty
        bool editable = false;
        bool lockable = false;
        // A small result given whole (no table): one row per entry, values by def's fields.
        // Such a dataset has no store table until a filter needs one (storeSource).
        bool inMemory = false;
        std::vector<std::vector<QVariant>> rows;
    };
    virtual Source openSource() = 0;
    virtual void closeSource() {}
    // For an in-memory source that gets a filter: the same rows as a store table.
    virtual Source storeSource();

private:
    friend class Database;
    friend class Field;
    using Row = std::vector<QVariant>;

    void buildFields();
    void disconnectLookups();
    void loadKeys(qint64 keepRowId);
    QString whereClause(QVariantList& params) const;
    const Row* rowValues(int position) const;
    void fetchAround(int position) const;
    void checkBrowseMode();
    void afterKeysChanged(int position);
    void ensureStored();
    bool passesFilter(qint64 rowId) const;
    std::vector<QVariant> orderValues(const QString& sql, qint64 rowId) const;
    int orderedPosition(qint64 rowId) const;
    void placePostedRow(qint64 rowId, bool inserted, bool orderChanged, int oldPos);
    QString selectList() const;
    QVariant currentValue(int fieldIndex) const;
    void setBufferValue(int fieldIndex, const QVariant& value);
    void requireState(State state, const char* operation) const;
    void requireKeys() const; // Error when a key the program writes is empty
    void requireOpen(const char* operation) const;
    void setState(State state);
    RecordLockHolder& recordLocks(); // this dataset's own, made on first use
    void unlockRecord();
    void applyPendingDeletes(); // inside the database's transaction
    void dropCache() const { m_cache.clear(); }
    qint64 rowIdAt(int position) const { return m_keys.at(static_cast<size_t>(position)); }
    int positionOf(qint64 rowId) const;
    int searchPosition(qint64 rowId) const; // positionOf through m_positions
    Error storeError(const QString& operation, const Error& cause) const;

    Source m_source;
    State m_state = State::Inactive;
    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<int> m_storeColumn; // per data field, its column in Source::def
    QStringList m_declared;
    struct LookupSpec {
        QString name, keyField, lookupKeyField, resultField;
        Dataset* dataset;
        int size;
    };
    std::vector<LookupSpec> m_lookups;
    // One connection to each list dataset's change signal while open; dropped by close().
    std::vector<std::pair<Dataset*, QMetaObject::Connection>> m_lookupConnections;
    struct FieldSettings {
        QString displayValues, editMask, displayFormat;
        bool readOnly = false;
    };
    std::unordered_map<std::string, FieldSettings> m_settings; // by lower-case field name

    std::vector<qint64> m_keys;
    // (row id, position) sorted by row id: built by the first search, dropped when m_keys changes.
    mutable std::vector<std::pair<qint64, int>> m_positions;
    int m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;
    mutable std::unordered_map<qint64, Row> m_cache; // row values by row id, a few pages
    bool m_pinned = false; // the rows of an in-memory source: all in m_cache, never evicted

    std::vector<QVariant> m_buffer; // the edit buffer, one value per data field
    std::vector<bool> m_changed;
    bool m_modified = false;
    int m_posBeforeInsert = -1;
    qint64 m_lockedRowId = 0;
    // The record locks are this dataset's own: another dataset of this program on the same row
    // is refused as another workstation is, and neither can release the other's lock.
    std::unique_ptr<RecordLockHolder> m_recordLocks;

    QString m_filter;
    bool m_filtered = false;
    CompiledFilter m_compiledFilter;
    bool m_readOnly = false;

    bool m_cachedUpdates = false;
    std::vector<qint64> m_pendingDeletes;
};

} // namespace kdb
