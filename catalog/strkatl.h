#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kdb {
class Query;
}

namespace kadrol {

// A position in the catalog: the keys of its sphere, group, direction and speciality, 0 for a
// level not on the path.
struct CatalogPosition {
    int sfr = 0, grp = 0, napr = 0, spec = 0;
    bool operator==(const CatalogPosition& o) const
    {
        return sfr == o.sfr && grp == o.grp && napr == o.napr && spec == o.spec;
    }
};

// The catalog structure: the catalog of specialities (KATALOG.DB over the four name lists) as a
// tree of spheres, groups, directions and specialities. The user adds nodes (through the add-node
// dialog TFadstr), deletes leaves no candidate is filed under, opens the name lists and lists
// the candidates of a node; the candidate card uses it to choose a speciality.
//
// Made once at start-up, kept until the end. The tree is built when the window is made and on
// "Обновить"; the window's own additions and deletions change the tree and KATALOG.DB together.
// Callers set the mode (prepare), show the window modally and, in the choose modes, read the
// chooser result after exec() returned Accepted.
class TFedkatl : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Browse, ChooseEditing, Choose };
    // The kind of a node: its level's meaning.
    enum Kind { Root = -1, Sphere = 0, Group = 1, Direction = 2, Speciality = 3 };

    explicit TFedkatl(QWidget* parent = nullptr);
    ~TFedkatl() override;

    // Sets the buttons for the mode and applies the selection rule to the current node; after
    // the window closes in Choose mode the hidden buttons come back by themselves.
    void prepare(Mode mode);
    CatalogPosition result() const; // the chooser result, meaningful after exec() == Accepted

    // "Кандидаты" opens the list of the candidates filed under the node; the list-by-catalog
    // window sets this. It receives the node's condition on the alias s (RESERV.DB in its main
    // positions query, SVKAT.DB in its further positions query). Until it is set, "Кандидаты"
    // stays disabled.
    void setCandidatesHandler(std::function<void(const QString& condition)> handler);
    // The condition of a direction or speciality node, as "Кандидаты" passes it; empty for the
    // other kinds.
    static QString candidateCondition(int kind, const CatalogPosition& path);

    // Clears the tree and builds it again from the catalog; the root is selected and the
    // chooser result is 0, 0, 0, 0.
    void buildTree();
    // The rule that enables the buttons for the selected node (callers run it after setting
    // the buttons).
    void applySelectionRule();

    // The steps of "Добавить" and "Удалить" after the user's answers. Whether the node to add
    // under parent (a speciality at a group when speciality is set) is in the catalog already;
    // the new node added to KATALOG.DB and the tree (not selected); whether candidates are
    // filed under exactly this path (main or further position); a leaf removed from KATALOG.DB
    // and the tree.
    bool nodeExists(const QTreeWidgetItem* parent, int key, bool speciality);
    QTreeWidgetItem* addChild(QTreeWidgetItem* parent, int key, bool speciality,
                              const QString& text);
    bool candidatesFiled(const CatalogPosition& path);
    void removeLeaf(QTreeWidgetItem* leaf);

    // The node's kind and key, and its path in the catalog.
    static int kindOf(const QTreeWidgetItem* node);
    static int keyOf(const QTreeWidgetItem* node);
    static CatalogPosition pathOf(const QTreeWidgetItem* node);

    QTreeWidget* Str;
    QPushButton* Bref;  // "Обновить"
    QPushButton* Bvib;  // "Выбрать"
    QPushButton* Bname; // "Названия"
    QPushButton* Badd;  // "Добавить"
    QPushButton* Bdel;  // "Удалить"
    QPushButton* Bcan;  // "Кандидаты"
    QPushButton* Bexit; // "Выход"

public Q_SLOTS:
    void BrefClick();
    void BvibClick();
    void BnameClick();
    void BaddClick();
    void BdelClick();
    void BcanClick();
    void done(int result) override;

private:
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int kind, int key);
    bool pathUsed(const QString& table, const CatalogPosition& path);
    void setPathParams(const CatalogPosition& path);

    kdb::Query* m_query; // the usage and delete statements, one line replaced before each run
    QIcon m_icons[4];    // one per tree level
    CatalogPosition m_result;
    Mode m_mode = Mode::Browse;
    std::function<void(const QString&)> m_candidates;
};

extern TFedkatl* Fedkatl;

} // namespace kadrol
