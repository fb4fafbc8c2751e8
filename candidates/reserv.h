#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <functional>
#include <vector>

class QComboBox;
class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class QWidget;

namespace kdb {
class Dataset;
}
namespace widgets {
class DataControl;
class DbCheckBox;
class DbDateEdit;
class DbEdit;
class DbGrid;
class DbLookupCombo;
} // namespace widgets

namespace kadrol {

// The candidate card: one candidate of the shared dataset Reserv, its main data on nine pages
// and its seven detail lists, viewed, added and edited. The card holds no data of its own: its
// controls are bound to the current Reserv record and its grids to the shared detail datasets,
// which it points at the candidate and opens when shown and closes when it closes. Always shown
// modally; the caller makes the candidate current, sets the mode (Butt), the mode label and the
// page first. Made once at start-up.
//
// Files: reserv.cpp the frame, the modes, show, save, cancel, close and the transfers;
// reservpages.cpp the pages of the candidate's own fields with their enabling rules and
// computed displays; reservdetail.cpp the catalog page and the detail lists; reservattach.cpp
// the photo and the CV file.
class TFres : public QDialog {
    Q_OBJECT
public:
    explicit TFres(QWidget* parent = nullptr);
    ~TFres() override;

    // The mode switch: every data control editable (true) or read-only, "Сохранить" and
    // "Отмена" against "Редактировать", "В черн.список" and the archive button.
    void Butt(bool editable);
    void setModeLabel(const QString& text); // "Добавление", "Просмотр"
    QString modeLabel() const;
    void setPage(int index); // 0 = "стр.1"
    int page() const;
    bool editMode() const;

    // The transfer between the current and the archive base of Reserv's current candidate, and
    // the transfer to the blacklist (a copy into BLACK.DB, then the candidate delete). Both run
    // from the card and, without showing it, from the candidate list.
    void transferBase();
    void transferToBlacklist();

    // The card printout of the current candidate, once the printouts exist (until then the
    // print button stays disabled).
    void setPrintHandler(std::function<void()> handler);

    // The computed texts of the card, as the agency reads them.
    static QString ageText(const QDate& birth, const QDateTime& now);
    static QString yearsSinceText(const QVariant& year, int currentYear); // driving, children
    static QString salaryText(double amount, double rateA, double rateB);

public Q_SLOTS:
    bool BpClick();         // "Сохранить": false when a rule or the store stopped the save
    void BcClick();         // "Отмена"
    void BeClick();         // "Редактировать"
    void reject() override; // "Выход", Escape, the frame: the close question, then close

protected:
    void showEvent(QShowEvent* event) override;

private:
    // reserv.cpp
    QWidget* buildButtonPanel();
    QWidget* buildHeader();
    void FormShow();
    bool save();
    void cancel();
    void closeCard();
    bool sameNameExists(const QString& f, const QString& i, const QString& o);
    void pointDetails(bool newCandidate);
    void openNameList(int group, int list);
    void showRegistrationNumbers();
    void updateCaption();
    // reservpages.cpp
    QWidget* buildPage1();
    QWidget* buildPage3();
    QWidget* buildPage4();
    QWidget* buildPage8();
    QWidget* buildPage9();
    void applyEnablingRules();
    void refreshComputed();
    void refreshSalary();
    // reservdetail.cpp
    QWidget* buildPage2();
    QWidget* buildPage5();
    QWidget* buildPage6();
    QWidget* buildPage7();
    QWidget* detailBox(const QString& heading, widgets::DbGrid* grid,
                       const QList<QPushButton*>& buttons);
    widgets::DbGrid* detailGrid(const QString& caption, kdb::Dataset& dataset);
    void deleteDetailRow(kdb::Dataset& dataset);
    void fillCatalogNames();
    void chooseMainPosition(bool withEditing);
    void addFurtherSpeciality();
    // reservattach.cpp
    QWidget* buildPhotoArea();
    QWidget* buildCvLine();
    void showPhoto();
    void emptyPhoto();
    void loadPhoto(const QString& path);
    void photoResult(const QImage& image, const QString& path);
    void BfotoClick();
    void clearPhoto();
    void showCv();
    void browseCv();
    void clearCv();
    void viewCv();
    void setStoredName(const QString& field, const QString& value);

    QPushButton* makeButton(const QString& caption, const QString& hint = {});
    QToolButton* makeToolButton(const QString& glyph, const QString& hint);
    // Registers a data control for the mode switch and gives it its caption.
    template <class Control> Control* bound(Control* control, const QString& caption)
    {
        control->setCaption(caption);
        m_controls.push_back(control);
        return control;
    }

    QTabWidget* m_pages;
    QLabel* m_mode;
    QPushButton *Bp, *Bc, *Be, *Bblack, *Barch, *Bexit;
    QToolButton *Bprint, *Btn2, *Bsost;
    std::function<void()> m_print;
    std::vector<widgets::DataControl*> m_controls; // read-only in view mode
    std::vector<widgets::DbGrid*> m_editGrids;     // the six grids of pages 5 to 7
    widgets::DbGrid* m_svkatGrid = nullptr;

    // computed and dependent
    QLineEdit* m_age = nullptr;
    QLineEdit* m_driving = nullptr;
    QLineEdit* m_childAge[3] = {};
    QLineEdit* m_salary = nullptr;
    QComboBox* m_convert = nullptr; // the conversion currency, not stored
    widgets::DbCheckBox *m_autopr = nullptr, *m_autom = nullptr, *m_admin = nullptr,
                        *m_sled = nullptr, *m_ugol = nullptr, *m_voen = nullptr,
                        *m_wrknow = nullptr;
    QWidget *m_katavtm = nullptr, *m_apryear = nullptr, *m_avtmarka = nullptr;
    widgets::DbEdit *m_admins = nullptr, *m_sleds = nullptr, *m_ugols = nullptr, *m_firm = nullptr,
                    *m_dol = nullptr;
    widgets::DbDateEdit* m_dout = nullptr;
    QWidget* m_voentip = nullptr;
    // catalog names of page 2
    QLineEdit* m_catalog[4] = {};
    // photo and CV
    QLabel* m_photo = nullptr;
    QLabel* m_photoPlace = nullptr;
    QLineEdit* m_cv = nullptr;
    QToolButton *m_cvBrowse = nullptr, *m_cvClear = nullptr;

    bool m_closing = false;
    QObject* m_photoLoader = nullptr; // the photo decoder working away from this thread
};

extern TFres* Fres;

} // namespace kadrol
