#pragma once

// The modal print preview of the report engine: pages at several zooms, page navigation,
// printing through the printer dialog and saving as PDF. It lays the reports out itself, a
// piece at a time between paints, so the first page shows before a long list is laid out.

#include "document.h"

#include <QDialog>
#include <memory>
#include <vector>

class QLabel;
class QPrinter;
class QPushButton;
class QScrollArea;
class QTimer;

namespace report {

class Layout;
class Report;
class PageView;

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    enum class Zoom { WholePage, PageWidth, Actual };

    // The reports (one, or a composite) must outlive the window.
    explicit PreviewWindow(std::vector<Report*> reports, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    int currentPage() const { return m_page; } // 0-based
    int pageCount() const;
    bool layoutFinished() const;
    const Document& document() const;
    Zoom zoom() const { return m_zoom; }
    double pixelsPerMm() const;

    void setPage(int page);
    void setZoom(Zoom zoom);
    // Prints through the given printer without a dialog; false (after a message) on failure.
    bool printTo(QPrinter& printer);
    // Saves the whole document as PDF; false (after a message) on failure.
    bool saveTo(const QString& fileName);
    // Lays out everything that is left.
    void finishLayout();

    // The caption of the window.
    static QString title();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool navigate(int key); // PgUp/PgDn/Home/End; false for other keys
    void layoutSome();
    void restartLayout();
    void updateControls();
    void printClick();
    void pdfClick();
    bool layoutUntil(int pages);
    Document::Progress progressFor(const QString& label, bool* stopped);
    static constexpr int kProgressPages = 20;

    std::vector<Report*> m_reports;
    std::unique_ptr<Layout> m_layout;
    int m_page = 0;
    Zoom m_zoom = Zoom::WholePage;
    bool m_failed = false;

    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
    QLabel* m_pageLabel = nullptr;
    QPushButton *m_first = nullptr, *m_prior = nullptr, *m_next = nullptr, *m_last = nullptr;
    QPushButton *m_whole = nullptr, *m_width = nullptr, *m_actual = nullptr;
    QPushButton *m_print = nullptr, *m_pdf = nullptr, *m_close = nullptr;
    QTimer* m_timer = nullptr;
};

// Shows the reports in the modal preview and returns when it closes.
void preview(std::vector<Report*> reports, QWidget* parent = nullptr);

} // namespace report
