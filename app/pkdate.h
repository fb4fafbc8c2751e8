#pragma once

#include <QDialog>

class QCalendarWidget;
class QLabel;
class QToolButton;

namespace kadrol {

// The calendar: a month grid that starts on the day the window is made and keeps the date the
// user chose; arrow buttons turn the month. Choosing a date does nothing further.
class TBrDateForm : public QDialog {
    Q_OBJECT
public:
    explicit TBrDateForm(QWidget* parent = nullptr);
    QDate date() const;
    void setDate(const QDate& date);
    QString title() const;

public Q_SLOTS:
    void PriorClick(); // one month back, keeping the day or the month's last day
    void NextClick();

private:
    void updateTitle();
    QLabel* m_title;
    QToolButton* m_prior;
    QToolButton* m_next;
    QCalendarWidget* m_grid;
};

} // namespace kadrol
