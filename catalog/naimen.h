#pragma once

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QStringList>

class QPushButton;
class QTabBar;

namespace kdb {
class Query;
class Table;
} // namespace kdb

namespace widgets {
class DataSource;
class DbGrid;
} // namespace widgets

namespace kadrol {

// The reference lists editor: every name list of the system (catalog levels, education,
// experience, the card's lists, languages and the rest) edited in one grid. The group tabs TM
// choose a group of lists, the list tabs TK a list of the group; names are typed straight into
// the grid, which edits the data module's shared table of the list, so every lookup elsewhere
// sees a change at once. A name still used by a candidate, the catalog or a request cannot be
// deleted.
//
// Made once at start-up, kept until the end; it keeps the group and list last shown. The main
// window shows it modeless as it was left (showAsLeft); other windows open it modally on a
// given list (showList). Closing it with an edit pending asks whether to store it, so that no
// row stays locked or half-typed after the window is gone.
class TFnaimen : public QDialog {
    Q_OBJECT
public:
    explicit TFnaimen(QWidget* parent = nullptr);
    ~TFnaimen() override;

    // Modal, on a given group page and list page (the catalog window, the candidate card and
    // the request card call this); returns when the user leaves the editor.
    void showList(int group, int list);
    // Modeless, on the group and list last shown ("Каталог", "Сферы" the first time).
    void showAsLeft();

    int group() const;
    int list() const;
    static QStringList groupCaptions();
    static QStringList listCaptions(int group);

    // Whether the name with this key of a list is still used (the usage check of "Удалить").
    bool nameInUse(int group, int list, qint64 key);

    QTabBar* TM;
    QTabBar* TK;
    widgets::DbGrid* DBGrid1;
    QPushButton* Bp; // "Сохранить"
    QPushButton* Bc; // "Отмена"
    QPushButton* Bd; // "Удалить"
    QPushButton* Bv; // "Выход"

public Q_SLOTS:
    void BpClick();
    void BcClick();
    void BdClick();
    void done(int result) override;

private:
    void TMChange(int index);
    void TKChange(int index);
    bool refuseTabChange(QTabBar* bar, int& shown, int index);
    void setGroup(int group);
    void setList(int list);
    void bindList();
    void updateButtons();
    bool editing() const;
    kdb::Table* shownTable() const;
    bool settlePendingEdit();

    widgets::DataSource* m_source = nullptr; // the shared data source of the shown list
    QList<QMetaObject::Connection> m_connections;
    kdb::Query* m_usage;
    int m_group = 0;
    int m_list = 0;
    bool m_switching = false; // the tabs are being set by the window itself
};

extern TFnaimen* Fnaimen;

} // namespace kadrol
