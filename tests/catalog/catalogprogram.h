#pragma once

// The program started in-process on a fresh program folder (a fresh Data folder with only the
// shipped rows), for the tests of the catalog windows; and small helpers to drive modal windows.

#include "database.h"
#include "datafolder.h"
#include "guisupport.h"
#include "kadrol.h"
#include "pdm.h"
#include "program.h"
#include "store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace catalogtest {

class Program : public kadroltest::Program {
public:
    // Store SQL on the program's own connection (fixtures and checks).
    int sql(const QString& text, const QVariantList& params = {})
    {
        return DM->Dtb.executeStoreSql(text, params);
    }
    // One integer of a store query (the first column of the first row), -1 when no row.
    qint64 scalar(const QString& text, const QVariantList& params = {})
    {
        auto c = DM->Dtb.store().select(text, params);
        return c->next() ? c->value(0).toLongLong() : -1;
    }
};

// Runs a step repeatedly while a modal window runs, until it says it is done (or 10 s pass).
class WhileModal {
public:
    explicit WhileModal(std::function<bool()> step) : m_step(std::move(step))
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_done)
                return;
            if (m_step() || ++m_ticks > 500) {
                m_done = true;
                m_timer.stop();
            }
        });
        m_timer.start();
    }
    bool done() const { return m_done; }

private:
    std::function<bool()> m_step;
    QTimer m_timer;
    bool m_done = false;
    int m_ticks = 0;
};

// Presses a button of the visible window with that title; false when there is none yet.
inline bool press(const QString& title, const QString& caption)
{
    QAbstractButton* b = kadroltest::buttonByCaption(kadroltest::windowByTitle(title), caption);
    if (!b || !b->isVisible() || !b->isEnabled())
        return false;
    b->click();
    return true;
}

} // namespace catalogtest
