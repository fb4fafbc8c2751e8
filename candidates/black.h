#pragma once

#include <QDialog>
#include <QVariantList>

class QLabel;
class QPushButton;

namespace widgets {
class DataControl;
}

namespace kadrol {

// The blacklist card "Черный список": views, adds, edits and deletes one person of the
// blacklist, the current row of the data module's shared dataset `black` (BLACK.DB).
//
// Created once at start-up and shown modally by the candidate list. For a new person the list
// appends a row to `black`, sets `Dzanes` (today), `Nbas` (0) and `Mf` (true), calls Butt(true)
// and setModeLabel("Добавление"); for the selected person it only shows the card, which keeps
// the mode it was last left in (view mode, "Просмотр", at its first showing).
//
// Closing (by "Выход", Escape or the frame) asks "Сохранить изменения?" only when a field
// differs from what it held when the card was shown or its editing started: Yes posts the
// row, No cancels it. A new row nobody touched is discarded without a question; an edit nobody
// touched stays open (and locked) for the next showing, as the card's mode does.
class TFblack : public QDialog {
    Q_OBJECT
public:
    explicit TFblack(QWidget* parent = nullptr);

    // The mode switch: editable true is edit mode (data controls writable, "Сохранить" and
    // "Отмена" enabled, mode label "Редактирование"); false is view mode ("Редактировать"
    // enabled, mode label "Просмотр").
    void Butt(bool editable);
    bool editable() const { return m_editable; }
    void setModeLabel(const QString& text);
    QString modeLabel() const;

    // The start-up's fitting for screens of fewer than 90 pixels per inch: width and height
    // each at 6/7, rounded to the nearest integer (halves to even), the position kept; never
    // below what the card's layout needs to show every field.
    void fitLowDensityScreen();
    static QSize fittedSize(const QSize& size); // the 6/7 size

    // Whether a field of the current row differs from the values the card last took as its
    // starting point (showing, "Редактировать", "Сохранить", "Отмена").
    bool changedSinceStart() const;

public Q_SLOTS:
    void BeClick();         // "Редактировать"
    void BpClick();         // "Сохранить"
    void BcClick();         // "Отмена"
    void BdClick();         // "Удалить"
    void reject() override; // "Выход", Escape and the frame: the close question first

protected:
    void showEvent(QShowEvent* event) override;

private:
    void takeStart();
    bool askBeforeClosing(); // false: stay open
    void finishTyping();

    QList<widgets::DataControl*> m_controls;
    QPushButton* Bp;
    QPushButton* Bc;
    QPushButton* Be;
    QPushButton* Bv;
    QPushButton* Bd;
    QLabel* m_mode;
    bool m_editable = false;
    QVariantList m_start; // the row's values at the starting point
};

extern TFblack* Fblack;

} // namespace kadrol
