#pragma once

#include "datasource.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QVariant>

class QKeyEvent;
class QWidget;

namespace widgets {

// What every data-aware control shares: it is bound to a data source and a field name, shows
// the field of the current record whenever the record moves, is re-read or the field changes,
// and writes what the user changes back into the field.
//
// A change by the user first puts a browsing dataset into Edit through the data source (taking
// the record lock); an engine error there or while writing (the record locked by another user,
// a value the field does not take) is shown in the error box through the action guard and the
// control shows the field's value again. A control is read-only when its own flag says so, when
// it is unbound, when the dataset is closed or read-only, or when the field is read-only or a
// lookup field. Data boxes are drawn in the tooltip-background colour.
//
// A control derives from its Qt widget and from this class, and implements showValue and
// applyReadOnly; it calls beginChange before a change and writeValue with the new value. Its
// constructor ends with refresh(), and a data box's sets the info colour.
class DataControl {
public:
    virtual ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    DataSource* dataSource() const { return m_source; }
    void setDataSource(DataSource* source);
    const QString& fieldName() const { return m_fieldName; }
    void setFieldName(const QString& name);
    void bind(DataSource* source, const QString& fieldName);

    // The bound dataset and field; null when unbound, closed or when the field is unknown.
    kdb::Dataset* dataset() const;
    kdb::Field* field() const;

    // The control's own read-only flag (the card's mode switch sets it).
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Whether the user can change the field through the control now.
    bool isEditable() const;

    // The field holds no value (an empty text is a value).
    bool isNull() const;
    // The current record is a new row not yet posted.
    bool isNewRecord() const;

    // Shows the field of the current record again, dropping what was typed and not written.
    void refresh();

    // The caption a user and assistive technology know the control by (its accessible name).
    virtual void setCaption(const QString& caption);

    // The background of a data box; the card draws disabled boxes in the face colour.
    void setBoxColour(const QColor& colour);
    static QColor infoColour(); // the tooltip background
    static QColor faceColour(); // the button face

protected:
    explicit DataControl(QWidget* self);

    // Shows the value of field (null: unbound or closed, show nothing).
    virtual void showValue(const kdb::Field* field) = 0;
    // Makes the widget refuse or accept the user's changes.
    virtual void applyReadOnly(bool readOnly) = 0;
    // Draws the box in a colour; controls without a box ignore it.
    virtual void applyBoxColour(const QColor& colour);

    // Makes the record editable before a change: puts a browsing dataset into Edit. False when
    // the control is read-only, autoEdit is off, or the engine refused (the error was shown).
    // keepShownValue: the widget already holds the user's change, do not show the field again
    // when the state changes.
    bool beginChange(bool keepShownValue = false);
    // Writes a value (beginChange first); on an error shows it and shows the field again.
    bool writeValue(const QVariant& value);
    // Whether the field takes the value (it converts to the field's type).
    bool fieldTakes(const QVariant& value) const;

    // A key that changes a text box's content (a character, deleting, pasting, cutting, undo).
    static bool isEditingKey(const QKeyEvent* event);

    // The typing of a text box. A typed text the field takes is written at once; one it does not
    // take yet (a date half typed) waits for the end of the typing, where writing it shows why
    // the field refuses it and puts the field's value back. A window that is going away drops
    // a waiting text without a message. Showing the field again drops it too.
    void textTyped(const QString& text);
    void typingFinished(const QString& text);
    bool hasWaitingText() const { return m_waitingText; }

    QWidget* widget() const { return m_self; }
    bool isShowing() const { return m_showing; } // inside showValue: a change is not the user's

private:
    void connectSource();
    void onFieldChanged(int fieldIndex);
    void updateReadOnly();

    QWidget* m_self;
    QPointer<DataSource> m_source;
    QString m_fieldName;
    bool m_readOnly = false;
    bool m_keepShown = false; // the control writes: its own signals do not refresh it
    bool m_showing = false;
    bool m_waitingText = false; // a typed text the field does not take yet, not in the field
    int m_appliedReadOnly = -1; // what applyReadOnly was last given, -1 before the first call
    QList<QMetaObject::Connection> m_connections;
};

} // namespace widgets
