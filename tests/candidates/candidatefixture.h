#pragma once

// The whole program started in-process on a fresh program folder, with a few candidates,
// detail rows and blacklist rows, for the tests of the candidate windows.

#include "datafolder.h"
#include "guisupport.h"
#include "kadrol.h"
#include "list.h"
#include "pdm.h"
#include "program.h"
#include "reserv.h"
#include "serch.h"
#include "table.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace candtest {

// A program folder of its own with the alias pointing at its Data folder; the program started,
// with the settings in the test's own folder.
class Program : public kadroltest::Program {
public:
    Program()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_started = start();
    }
    bool started() const { return m_started; }

private:
    bool m_started = false;
};

// A row of a table written at once, values in the table's field order (null for the key).
inline void insertRow(const QString& table, const QVariantList& values)
{
    auto t = kdb::Table::opened(DM->Dtb, table);
    t->insertRecord(values);
}

inline int rowCount(const QString& table, const QString& filter = {})
{
    auto t = std::make_unique<kdb::Table>();
    t->setDatabase(&DM->Dtb);
    t->setTableName(table);
    t->setFiltered(!filter.isEmpty());
    t->setFilter(filter);
    t->open();
    return t->recordCount();
}

struct Person {
    QString f, i, o;
    int arch = 0;
    int sfr = 1;
};

// Adds a candidate through the shared dataset as a saved card would; gives its key.
inline int addCandidate(const Person& p)
{
    kdb::Table& r = DM->Reserv;
    DM->setCandidateBase(p.arch);
    r.append();
    r.fieldByName(QStringLiteral("NameF")).setValue(p.f);
    r.fieldByName(QStringLiteral("NameI")).setValue(p.i);
    r.fieldByName(QStringLiteral("NameO")).setValue(p.o);
    r.fieldByName(QStringLiteral("Sfr")).setValue(p.sfr);
    r.post();
    const int key = r.fieldByName(QStringLiteral("Keyr")).asInt();
    r.edit();
    r.fieldByName(QStringLiteral("Tn2")).setValue(QString::number(key));
    r.post();
    DM->setCandidateBase(0);
    return key;
}

// One row in each of the seven detail tables for the candidate.
inline void addDetails(int key)
{
    insertRow(QStringLiteral("sobesed.db"), {QVariant(), key, QDate(2020, 5, 1),
                                             QStringLiteral("Смирнова"), QStringLiteral("годен")});
    insertRow(QStringLiteral("RECOM.DB"),
              {key, QStringLiteral("Орлов"), QStringLiteral("ООО Рога"), QStringLiteral("123"),
               QStringLiteral("хорошо"), QVariant()});
    insertRow(QStringLiteral("RECLANG.DB"), {QVariant(), key, 1, 1});
    insertRow(QStringLiteral("RESNAVK.DB"), {QVariant(), key, 1, 1});
    insertRow(QStringLiteral("SVKAT.DB"), {QVariant(), key, 1, 1, 0, 1, QString()});
    insertRow(QStringLiteral("PROFOPT.DB"),
              {QVariant(), key, QDate(2010, 1, 1), QDate(2015, 1, 1), 5.0, QStringLiteral("Фирма"),
               QStringLiteral("инженер"), QString(), 1, 1, QString()});
    insertRow(QStringLiteral("EDUCRES.DB"),
              {QVariant(), key, QDate(2000, 9, 1), QDate(2005, 6, 30), 1, 1, 1,
               QStringLiteral("МГУ"), QString(), QString(), QString()});
}

// The detail rows of a candidate over the seven tables.
inline int detailCount(int key)
{
    const QString k = QString::number(key);
    return rowCount(QStringLiteral("sobesed.db"), QStringLiteral("nn=") + k) +
           rowCount(QStringLiteral("RECOM.DB"), QStringLiteral("TabNo=") + k) +
           rowCount(QStringLiteral("RECLANG.DB"), QStringLiteral("TabNo=") + k) +
           rowCount(QStringLiteral("RESNAVK.DB"), QStringLiteral("TabNo=") + k) +
           rowCount(QStringLiteral("SVKAT.DB"), QStringLiteral("TabNo=") + k) +
           rowCount(QStringLiteral("PROFOPT.DB"), QStringLiteral("TabNo=") + k) +
           rowCount(QStringLiteral("EDUCRES.DB"), QStringLiteral("TabNo=") + k);
}

// The name lists the fixtures refer to: sphere, group, direction and speciality 1, a skill, a
// language, a type of education.
inline void addNameLists()
{
    insertRow(QStringLiteral("SFERA.DB"), {QVariant(), QStringLiteral("Финансы")});
    insertRow(QStringLiteral("GRP.DB"), {QVariant(), QStringLiteral("Бухгалтерия")});
    insertRow(QStringLiteral("KNAPR.DB"), {QVariant(), QStringLiteral("Учет")});
    insertRow(QStringLiteral("SPECLZ.DB"), {QVariant(), QStringLiteral("Главный бухгалтер")});
    insertRow(QStringLiteral("SPNAV.DB"), {QVariant(), QStringLiteral("Слепой набор")});
    insertRow(QStringLiteral("LANG.DB"), {QVariant(), QStringLiteral("Английский")});
    for (kdb::Table* t : {&DM->sfera, &DM->grp, &DM->knapr, &DM->speclz, &DM->spnav, &DM->Lang})
        t->refresh();
}

// Runs a step that opens a modal window, and does something in that window once it shows.
inline void whenShown(const QString& title, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, title, action]() {
        QWidget* w = kadroltest::windowByTitle(title);
        if (!w || !QApplication::activeModalWidget() || QApplication::activeModalWidget() != w)
            return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

// Runs an action once the widget is the active modal window (a card shown with exec()).
inline void whenModal(QWidget* window, std::function<void()> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, window, action]() {
        if (QApplication::activeModalWidget() != window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

// Answers the message boxes that appear, in turn, with the given buttons ("Да", "Нет", "OK"),
// and keeps their texts. A box beyond the script is answered "OK" or, failing that, "Нет".
class Answers {
public:
    explicit Answers(const QStringList& script = {}) : m_script(script)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() { poll(); });
        m_timer.start();
    }
    const QStringList& texts() const { return m_texts; }

private:
    void poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            const QString wanted = m_script.isEmpty() ? QString() : m_script.constFirst();
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* b : box->buttons())
                if (b->text() == wanted)
                    chosen = b;
            for (const char* fallback : {"OK", "Нет"})
                for (QAbstractButton* b : box->buttons())
                    if (!chosen && b->text() == QString::fromUtf8(fallback))
                        chosen = b;
            if (!chosen)
                continue;
            if (!m_script.isEmpty() && chosen->text() == wanted)
                m_script.removeFirst();
            m_texts << box->text();
            chosen->click();
            return;
        }
    }
    QStringList m_script;
    QStringList m_texts;
    QTimer m_timer;
};

// Types text into a widget key by key, Cyrillic letters too (QTest::keyClicks takes Latin only).
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        const int key = ch.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

inline QAbstractButton* button(QWidget* window, const QString& caption)
{
    QAbstractButton* b = kadroltest::buttonByCaption(window, caption);
    if (!b)
        qWarning("no button %s", qPrintable(caption));
    return b;
}

} // namespace candtest
