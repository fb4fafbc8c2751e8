#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace kadrol {

// "Каталог вакансий": the main window's way into the catalog. A picture with a panel of
// buttons beside it: the catalog's name lists, the catalog structure, and the list by catalog
// for the whole catalog ("Весь каталог") or for one sphere chosen in the drop-down ("Сфера").
// Created once at start-up and shown modeless by the main window's "Картотека" and "Печать".
class TFStBut : public QDialog {
    Q_OBJECT
public:
    explicit TFStBut(QWidget* parent = nullptr);

    QComboBox* sphereBox() const { return Ldiv; }
    int chosenSphere() const; // the key of the sphere chosen in Ldiv, 0 when none

    // The conditions the list by catalog is opened with (on the alias s of its queries).
    static QString wholeCatalogCondition();
    static QString sphereCondition(int sphere);

public Q_SLOTS:
    void BnClick();   // "Наименования"
    void BsClick();   // "Структура"
    void BallClick(); // "Весь каталог"
    void BsfClick();  // "Сфера"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillSpheres();

    QLabel* m_picture;
    QPushButton* Bn;
    QPushButton* Bs;
    QPushButton* Ball;
    QComboBox* Ldiv;
    QPushButton* Bsf;
    QPushButton* Bh;
    QPushButton* Bv;
};

extern TFStBut* FStBut;

} // namespace kadrol
