#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kdb {
class Dataset;
}

namespace kadrol {

// The add-node dialog of the catalog structure: the name of a new sphere, group, direction or
// speciality, picked from its name list. The catalog window prepares it for the level of the
// selected node (the label and one list, or at a group the radio group that switches between
// the directions and the specialities), gives it the duplicate test to run on OK, shows it
// modally and reads the chosen key and name.
//
// OK with no name chosen adds nothing and says so; OK on a node already in the catalog says
// "Данный раздел уже есть в Каталоге!" and the dialog stays open.
class TFadstr : public QDialog {
    Q_OBJECT
public:
    explicit TFadstr(QWidget* parent = nullptr);
    ~TFadstr() override;

    // One list under a label ("Сфера", "Группа", "Специальность").
    void prepare(const QString& label, kdb::Dataset* list);
    // At a group: the label hidden, the radio group shown on "Направление", its two lists.
    void prepareGroupLevel(kdb::Dataset* directions, kdb::Dataset* specialities);
    // Back to the first state: label visible, radio group hidden and disabled on item 0.
    void restore();

    // Whether the node to add is already in the catalog: the chosen key and whether it is a
    // speciality (the group level's second item). Run on OK.
    std::function<bool(int key, bool speciality)> duplicateTest;

    int chosenKey() const; // 0 when nothing is chosen
    QString chosenText() const;
    bool specialityChosen() const; // the radio group is on "Специальность"

    static QString duplicateText();
    static QString nothingChosenText();

    QLabel* Label1;
    QGroupBox* RG;
    QComboBox* Ld;
    QPushButton* BOk;
    QPushButton* BCancel;

public Q_SLOTS:
    void accept() override;

private:
    void fillList(kdb::Dataset* list);
    void RGClick();

    QButtonGroup* m_items;
    QRadioButton* m_direction;
    QRadioButton* m_speciality;
    kdb::Dataset* m_lists[2] = {nullptr, nullptr};
};

extern TFadstr* Fadstr;

} // namespace kadrol
