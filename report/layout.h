#pragma once

// Lays reports out into a Document, a row of the main dataset at a time, so that a preview can
// show the first pages while the rest is still being laid out.

#include "document.h"
#include "report.h"

#include <QFont>
#include <memory>
#include <vector>

namespace report {

class Layout {
public:
    // The reports are laid out one after the other into one document; they must outlive the
    // layout.
    explicit Layout(std::vector<Report*> reports);
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Lays out the next piece (the start of a report, one row of its main dataset with all
    // that belongs to it, or its end). False once everything is laid out. Engine errors
    // (kdb::Error) propagate; the layout is then finished.
    bool step();
    void run();
    bool finished() const { return m_finished; }
    // Pages that later steps no longer change.
    int finishedPages() const;
    // Rows of main datasets laid out so far, and in all (for progress).
    int rowsDone() const { return m_rowsDone; }
    int rowsTotal() const { return m_rowsTotal; }

    const Document& document() const { return m_doc; }
    Document takeDocument() { return std::move(m_doc); }

private:
    struct FontInfo;
    struct Piece;
    struct Context {
        kdb::Dataset* dataset = nullptr;
        int row = -1;
        int count = 0;
    };
    enum class Phase { Start, Rows, End };

    void startReport();
    void newPage();
    double bottom() const;
    bool printTree(Band& band, const Context& context);
    bool placeBand(Band& band, const Context& context);
    void measure(Band& band, const Context& context, std::vector<Piece>& pieces, double& height);
    void emit(const Piece& piece, double top);
    void frameSegment(const Band& band, double top, double bottom, bool first, bool last);
    const FontInfo& fontInfo(const Font& font);
    QString itemText(Item& item, const Context& context);

    std::vector<Report*> m_reports;
    size_t m_current = 0;
    Report* m_report = nullptr;
    Phase m_phase = Phase::Start;
    int m_row = 0;
    int m_mainCount = 0;
    std::vector<QString> m_groupValues;
    bool m_titleDone = false;
    bool m_finished = false;
    int m_rowsDone = 0;
    int m_rowsTotal = 0;

    Document m_doc;
    double m_y = 0;        // where the next band goes on the current page
    double m_pageTop = 0;  // the first place below the page's headers
    double m_freshTop = 0; // m_pageTop of the latest new page
    bool m_startingPage = false;
    std::vector<std::unique_ptr<FontInfo>> m_fonts;
};

} // namespace report
