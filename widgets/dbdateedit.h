#pragma once

#include "datacontrol.h"

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

namespace widgets {

// A date box over a date field: the date is typed as dd.mm.yyyy or picked from a calendar that
// drops down from the button beside the box. An emptied box (Delete, Backspace) stores no date;
// a typed text that is no date is refused with the engine's message when the box is left, and
// the field's date is shown again.
class DbDateEdit : public QWidget, public DataControl {
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget* parent = nullptr);
    DbDateEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* calendarButton() const { return m_button; }
    QDate date() const; // the field's date; invalid when empty
    QString text() const;

    // The drop-down calendar, created when first shown; null before.
    QCalendarWidget* calendar() const { return m_calendar; }
    void showCalendar();

    void setCaption(const QString& caption) override; // the box inside as well

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;

private:
    void onTextEdited(const QString& text);
    void onEditingFinished();
    void onPicked(const QDate& date);

    QLineEdit* m_edit;
    QToolButton* m_button;
    QWidget* m_popup = nullptr;
    QCalendarWidget* m_calendar = nullptr;
};

} // namespace widgets
