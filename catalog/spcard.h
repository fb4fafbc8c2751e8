#pragma once

#include "datasource.h"
#include "query.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace widgets {
class DbGrid;
}

namespace kadrol {

// "Список по каталогу": the candidates filed under one node of the catalog, by their main
// position (upper grid) and by their further positions (lower grid), with the card of any of
// them a button away. Created once at start-up before the data module (so it touches no shared
// dataset while being made) and kept until the end.
//
// Its two queries run on the alias kadrol and are filtered by "Базы" (Arch=0, Arch=1, or no
// filter for "Обе", chosen at start); the choice stays between showings.
class TFstrcard : public QDialog {
    Q_OBJECT
public:
    explicit TFstrcard(QWidget* parent = nullptr);
    ~TFstrcard() override;

    // The main-position query (its third line is the node's condition) and the
    // further-positions query (its fourth line).
    kdb::Query Qstr;
    kdb::Query Qsvkat;
    widgets::DataSource DSstr;
    widgets::DataSource DSsvkat;

    // What "Кандидаты" of the catalog window does for a node, and the hub's "Весь каталог" and
    // "Сфера": condition is written on the alias s ("(s.sfr=1) and (s.grp=2)"), which stands for
    // RESERV.DB in the main query and SVKAT.DB in the other. Opens both queries, enables
    // "Карточка" exactly when either has a row (and the card exists), shows the window modally and
    // closes both queries when it returns.
    void showFor(const QString& condition);
    // The same steps without the modal showing (tests, and callers that show it themselves).
    void prepareFor(const QString& condition);
    void closeQueries();

    int base() const; // the item of "Базы": 0 "Действ.", 1 "Архивн.", 2 "Обе"
    void setBase(int item); // as a click on the item does (RGClick)

    widgets::DbGrid* mainGrid() const { return m_main; }
    widgets::DbGrid* furtherGrid() const { return m_further; }

    // How "Карточка" shows the candidate card on the candidate it made current in the shared
    // candidates table (start-up sets it once the card exists; until then "Карточка" stays
    // disabled).
    using CardOpener = std::function<void()>;
    void setCardOpener(CardOpener opener);

public Q_SLOTS:
    void RGClick();
    void BkClick(); // "Карточка", also a double click in either grid

private:
    void updateCardButton();

    QPushButton* Bk;
    QPushButton* Bv;
    QGroupBox* m_rgBox;
    QButtonGroup* RG;
    widgets::DbGrid* m_main;
    widgets::DbGrid* m_further;
    QPointer<QWidget> m_lastGrid; // the grid the user last worked in
    CardOpener m_openCard;
    QMetaObject::Connection m_focusConnection;
};

extern TFstrcard* Fstrcard;

} // namespace kadrol
