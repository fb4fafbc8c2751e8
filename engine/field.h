#pragma once

#include "types.h"

#include <QDate>
#include <QHash>
#include <QVariant>

namespace kdb {

class Dataset;

// One field of a dataset's current record. Values are QVariants of the field's type: int for
// AutoInc/Integer/SmallInt, double for Float, bool for Boolean, QDate for Date, QString for
// String and Memo, QByteArray for Graphic; a null (invalid) QVariant is an empty field. An
// empty text assigned to a String field is kept as an empty text, distinct from null.
class Field {
public:
    enum class Kind { Data, Lookup };

    const QString& name() const { return m_def.name; }
    FieldType type() const { return m_def.type; }
    int size() const { return m_def.size; }
    const FieldDef& def() const { return m_def; }
    Kind kind() const { return m_kind; }
    int index() const { return m_index; } // position among the dataset's fields
    Dataset& dataset() const { return *m_dataset; }

    // The current record's value (the edit buffer while editing or inserting).
    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    QString asString() const; // the value as plain text; "" for null
    int asInt() const;        // 0 for null
    double asDouble() const;
    bool asBool() const;
    QDate asDate() const;

    // Writes the edit buffer; the dataset must be in Edit or Insert state. The value is
    // converted to the field's type (Error on a value that does not convert); a text longer
    // than a String field's size is cut to the size.
    void setValue(const QVariant& value);
    void clear() { setValue(QVariant()); }

    // The text a control or grid shows: booleans as the display values when set ("Да;Нет"),
    // dates as dd.MM.yyyy, floats through the display format when set ("#.00").
    QString displayText() const;
    QString displayTextOf(const QVariant& value) const;

    bool readOnly() const { return m_readOnly || m_def.type == FieldType::AutoInc; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setDisplayValues(const QString& trueFalse); // "Да;Нет"
    void setEditMask(const QString& mask) { m_editMask = mask; }
    const QString& editMask() const { return m_editMask; }
    void setDisplayFormat(const QString& format) { m_displayFormat = format; }
    const QString& displayFormat() const { return m_displayFormat; }
    const QString& displayLabel() const { return m_label.isEmpty() ? m_def.name : m_label; }
    void setDisplayLabel(const QString& label) { m_label = label; }

    // Lookup fields: the value is lookupResultField of the row of lookupDataset whose
    // lookupKeyField equals this dataset's keyField; null when the key is null or unmatched.
    Dataset* lookupDataset() const { return m_lookupDataset; }
    const QString& keyFieldName() const { return m_keyField; }
    const QString& lookupKeyFieldName() const { return m_lookupKeyField; }
    const QString& lookupResultFieldName() const { return m_lookupResultField; }

    // Converts a value to the field's type: Error(Syntax) naming the field when impossible.
    QVariant convert(const QVariant& value) const;

private:
    friend class Dataset;
    Field(Dataset* dataset, FieldDef def, int index, Kind kind);
    QVariant lookupValue(const QVariant& key) const;

    Dataset* m_dataset;
    FieldDef m_def;
    int m_index;
    Kind m_kind;
    bool m_readOnly = false;
    QString m_trueText, m_falseText;
    QString m_editMask, m_displayFormat, m_label;
    Dataset* m_lookupDataset = nullptr;
    QString m_keyField, m_lookupKeyField, m_lookupResultField;
    mutable QHash<QString, QVariant> m_lookupCache;
};

} // namespace kdb
