#pragma once

// The list printout TQlistres: a numbered list of a candidate base or of the blacklist, the
// page number on every page, the title with the column heads, one line per row of the chosen
// dataset in its current order, and "Итого:" with the number of rows printed. A fresh
// instance serves one printing.

#include "report.h"

#include <QString>

class QWidget;

namespace kdb {
class Dataset;
}

class TQlistres {
public:
    TQlistres();

    // What the caller sets: the title, the first column's caption and field, the dataset.
    void setTitle(const QString& title);
    void setFirstColumn(const QString& caption, const QString& fieldName);
    void setDataset(kdb::Dataset* dataset);
    // All of that for a base of the candidate list: 0 current, 1 archive (over Reserv, already
    // filtered on the base), 2 the blacklist (over black).
    void prepareForBase(int base, kdb::Dataset* dataset);

    report::Report& report() { return m_report; }
    report::Document build() { return m_report.build(); }
    // Shows the printout in the modal preview; returns when it closes.
    void preview(QWidget* parent);

private:
    report::Report m_report;
    report::Item* m_title = nullptr;
    report::Item* m_caption = nullptr;
    report::Item* m_first = nullptr;
};

// "Печать" of the candidate list: the list printout of the chosen base over the data module's
// Reserv (as the list has filtered it) or black, previewed modally.
void printCandidateList(int base, QWidget* parent);
