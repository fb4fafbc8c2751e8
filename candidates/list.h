#pragma once

#include <QMainWindow>
#include <functional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace widgets {
class DataSource;
class DbGrid;
} // namespace widgets

namespace kadrol {

// The candidate list: one of the three bases (current, archive, blacklist) in a read-only grid
// over the shared dataset of that base, and every operation on a candidate started from it:
// new card, open card, surname search, delete with the detail rows, the two transfers, the
// printed list. The grid's current row is the shared dataset's current record, which the cards
// open. Made once at start-up; "Выход" only hides it.
class TFlist : public QMainWindow {
    Q_OBJECT
public:
    explicit TFlist(QWidget* parent = nullptr);
    ~TFlist() override;

    // Chooses item 0 "Действующие", 1 "Архивные" or 2 "Черный список" of the base selector
    // without running the base switch.
    void setBase(int item);
    int base() const;
    // The base switch: binds the grid, filters the candidates, counts, enables the buttons.
    void RGClick();

    // The candidate delete with the seven detail tables, in one transaction; false when the
    // user said No or the delete was refused (the message was shown).
    bool deleteCandidate(bool ask = true);

    // The list printout of the chosen base, once the printouts exist (until then "Печать"
    // stays disabled).
    void setPrintHandler(std::function<void(int base)> handler);

    // Re-reads the grid's dataset and the count, unless a row is being edited.
    void refresh();
    // The small-screen fitting of the start-up: the window and its contents at 5/6, then the
    // size at 6/7 and 20 pixels wider; not when a placement of an earlier run was restored.
    void fitSmallScreen();

    widgets::DbGrid* grid() const { return m_grid; }
    QTimer* refreshTimer() const { return m_timer; }
    QString countText() const;
    QPushButton* button(const QString& caption) const;

public Q_SLOTS:
    void BnClick();  // "Новый"
    void BkClick();  // "Карточка"
    void BdClick();  // "Удалить"
    void BtClick();  // "Передать"
    void BbClick();  // "В черн.сп."
    void BsClick();  // "Поиск"
    void BprClick(); // "Печать"

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* addButton(QWidget* panel, const QString& caption, const QString& hint);
    void deleteBlack();
    void setCount(int count);
    void enableButtons(int count);
    void savePlacement();
    void restorePlacement();

    QGroupBox* RG;
    QButtonGroup* m_items;
    widgets::DataSource* m_source;
    widgets::DbGrid* m_grid;
    QMenu* m_popup;
    QLabel* m_count;
    QLabel* m_second;
    QLabel* m_picture;
    QTimer* m_timer;
    QPushButton *Bn, *Bk, *Bpr, *Bt, *Bb, *Bd, *Bhelp, *Bexit, *Bs;
    std::function<void(int)> m_print;
    bool m_placementRestored = false;
    bool m_placementSaved = false; // a placement of an earlier run was found
    bool m_layoutRestored = false;
};

extern TFlist* Flist;

} // namespace kadrol
