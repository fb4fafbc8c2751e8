#pragma once

#include <QDate>
#include <QMainWindow>
#include <QMap>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QToolButton;

namespace kadrol {

// The main window: a toolbar of the system's parts, the main menu, a background picture that
// goes away at first use, and the status bar with the version and today's date. Each button
// and menu entry opens the window of its part; the entries of parts whose window the program
// does not have are disabled (setTargetAvailable).
class TFbook : public QMainWindow {
    Q_OBJECT
public:
    // The windows the main window opens, one per button or group of entries.
    enum class Target {
        Candidates, // TFlist
        Requests,   // TFuch
        Library,    // TFlibr
        Catalog,    // TFStBut
        Structure,  // TFedkatl via the catalog hub
        Names,      // TFnaimen
        Statistics, // TFstatistall
        Service,    // TFserv
        Selections, // the selection module
        Rates,      // the currency rates
        Calendar,   // TBrDateForm
        About,      // TFabout
    };

    // What an entry asks of its target's window; the handler receives it. The toolbar button
    // of a target (and an entry that does what the button does) passes AsLeft.
    enum Choice : int {
        AsLeft = -1, // the window as it was last left (the button's own preparation)
        // Candidates: the base item the list switches to before it shows.
        CurrentBase = 0, // "Действующие"
        ArchiveBase = 1, // "Архивные"
        Blacklist = 2,   // "Черный список"
        // Requests: the hub's action to run.
        Firms = 0,        // "Фирмы"
        RequestsList = 1, // "Список заявок"
        // Library: the page to show.
        Templates = 0,    // "Шаблоны"
        CandidateCVs = 1, // "CV кандидатов"
    };

    explicit TFbook(QWidget* parent = nullptr);

    // Enables or disables the buttons and entries that open a target.
    void setTargetAvailable(Target target, bool available);
    // Handlers of the targets, set by start-up as the windows exist. A handler receives the
    // choice of the entry that ran it (AsLeft for the button); one without a parameter serves
    // targets that have no choices.
    void setTargetHandler(Target target, std::function<void(int choice)> handler);
    void setTargetHandler(Target target, std::function<void()> handler);

    // Collapses the window to its toolbar, menu and status bar at the first use.
    void collapse();
    bool firstUse() const;
    QToolButton* button(const QString& caption) const;
    QAction* menuEntry(const QString& path) const; // "Файл/Календарь"

    // Scales the window and its contents by a factor (small screens).
    void scaleBy(double factor);

    static QString dateText(const QDate& date); // "  dd, mmmm, yyyy;   dddd"

public Q_SLOTS:
    void BvClick(); // "Выход": asks, then ends the program

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QToolButton* addButton(QWidget* bar, const QString& caption, const QIcon& icon, bool flat);
    QAction* addEntry(QMenu* menu, const QString& caption, Target target, bool collapseFirst,
                      int choice = AsLeft);
    void run(Target target, bool collapseFirst, int choice);
    void fitWidth();

    QWidget* m_toolbar;
    QLabel* m_picture;
    QCheckBox* CI;
    QLabel* m_version;
    QLabel* m_date;
    QToolButton* m_exit;
    QMap<QString, QToolButton*> m_buttons;
    QMap<QString, QAction*> m_entries;
    QMultiMap<Target, QWidget*> m_targetButtons;
    QMultiMap<Target, QAction*> m_targetEntries;
    QMap<Target, std::function<void(int)>> m_handlers;
};

} // namespace kadrol
