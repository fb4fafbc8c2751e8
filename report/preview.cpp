#include "preview.h"

#include "dataset.h"
#include "error.h"
#include "layout.h"
#include "messages.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace report {

// The sheet of paper on screen: it paints only the page shown, at the zoom of the window,
// so browsing a long document keeps no page images.
class PageView : public QWidget {
public:
    explicit PageView(PreviewWindow* window) : QWidget(window), m_window(window)
    {
        setAccessibleName(QStringLiteral("Страница"));
        setFocusPolicy(Qt::NoFocus);
    }
    void updateSize()
    {
        const double px = m_window->pixelsPerMm();
        const Document& doc = m_window->document();
        setFixedSize(qRound(doc.pageWidth() * px) + 2 * kBorder,
                     qRound(doc.pageHeight() * px) + 2 * kBorder);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Mid));
        const double px = m_window->pixelsPerMm();
        const Document& doc = m_window->document();
        const QRectF sheet(kBorder, kBorder, doc.pageWidth() * px, doc.pageHeight() * px);
        p.fillRect(sheet, Qt::white);
        p.setPen(Qt::black);
        p.drawRect(sheet);
        if (m_window->currentPage() < doc.pageCount())
            doc.paintPage(p, m_window->currentPage(), sheet.topLeft(), px);
    }

private:
    static constexpr int kBorder = 8;
    PreviewWindow* m_window;
};

QString PreviewWindow::title()
{
    return QStringLiteral("Предварительный просмотр");
}

PreviewWindow::PreviewWindow(std::vector<Report*> reports, QWidget* parent)
    : QDialog(parent), m_reports(std::move(reports))
{
    setWindowTitle(title());
    setModal(true);
    m_layout = std::make_unique<Layout>(m_reports);

    auto button = [this](const QString& caption, const QString& hint) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(caption);
        b->setToolTip(hint);
        b->setAutoDefault(false);
        return b;
    };
    m_whole = button(QStringLiteral("Вся страница"), QStringLiteral("Показать страницу целиком"));
    m_width = button(QStringLiteral("По ширине"), QStringLiteral("Страница во всю ширину окна"));
    m_actual = button(QStringLiteral("100%"), QStringLiteral("Натуральная величина"));
    m_first = button(QStringLiteral("Первая"), QStringLiteral("Первая страница (Home)"));
    m_prior = button(QStringLiteral("Предыдущая"), QStringLiteral("Предыдущая страница (PgUp)"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setMinimumWidth(160);
    m_pageLabel->setAlignment(Qt::AlignCenter);
    m_next = button(QStringLiteral("Следующая"), QStringLiteral("Следующая страница (PgDn)"));
    m_last = button(QStringLiteral("Последняя"), QStringLiteral("Последняя страница (End)"));
    m_print = button(QStringLiteral("Печать"), QStringLiteral("Напечатать на принтере"));
    m_pdf = button(QStringLiteral("Сохранить в PDF"), QStringLiteral("Сохранить как файл PDF"));
    m_close = button(QStringLiteral("Закрыть"), QStringLiteral("Закрыть просмотр (Esc)"));

    auto* bar = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_whole), static_cast<QWidget*>(m_width),
                       static_cast<QWidget*>(m_actual)})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget* w : {static_cast<QWidget*>(m_first), static_cast<QWidget*>(m_prior),
                       static_cast<QWidget*>(m_pageLabel), static_cast<QWidget*>(m_next),
                       static_cast<QWidget*>(m_last)})
        bar->addWidget(w);
    bar->addStretch(1);
    // The actions sit below the page, so that the window fits a screen 1024 pixels wide.
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(m_print);
    actions->addWidget(m_pdf);
    actions->addWidget(m_close);

    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setAccessibleName(QStringLiteral("Страницы"));
    m_scroll->setBackgroundRole(QPalette::Mid);
    m_view = new PageView(this);
    m_scroll->setWidget(m_view);
    m_scroll->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(actions);
    // Reading order: the tools above, the page, the actions below.
    setTabOrder(m_last, m_scroll);
    setTabOrder(m_scroll, m_print);

    connect(m_whole, &QPushButton::clicked, this, [this] { setZoom(Zoom::WholePage); });
    connect(m_width, &QPushButton::clicked, this, [this] { setZoom(Zoom::PageWidth); });
    connect(m_actual, &QPushButton::clicked, this, [this] { setZoom(Zoom::Actual); });
    connect(m_first, &QPushButton::clicked, this, [this] { setPage(0); });
    connect(m_prior, &QPushButton::clicked, this, [this] { setPage(m_page - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { setPage(m_page + 1); });
    connect(m_last, &QPushButton::clicked, this, [this] {
        finishLayout();
        setPage(pageCount() - 1);
    });
    connect(m_print, &QPushButton::clicked, this, &PreviewWindow::printClick);
    connect(m_pdf, &QPushButton::clicked, this, &PreviewWindow::pdfClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &PreviewWindow::layoutSome);

    // Rows read between events belong to one reading of the dataset: when it is re-read
    // (a refresh of the list behind the preview) an unfinished layout starts again.
    for (Report* r : m_reports) {
        if (r->dataset)
            connect(r->dataset, &kdb::Dataset::layoutChanged, this, [this] {
                if (!m_layout->finished())
                    restartLayout();
            });
    }
    // The first page is laid out before the window shows; the rest follows between events.
    layoutUntil(1);
    if (!layoutFinished())
        m_timer->start();
    // Most of the screen, so that a whole page reads without zooming.
    const QRect room = screen()->availableGeometry();
    resize(std::min(1100, room.width() * 9 / 10), room.height() * 9 / 10);
    m_view->updateSize();
    updateControls();
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::pageCount() const
{
    return m_layout->document().pageCount();
}

bool PreviewWindow::layoutFinished() const
{
    return m_layout->finished();
}

const Document& PreviewWindow::document() const
{
    return m_layout->document();
}

double PreviewWindow::pixelsPerMm() const
{
    const double actual = logicalDpiX() / 25.4;
    const QSize room = m_scroll ? m_scroll->maximumViewportSize() - QSize(20, 20) : QSize(800, 600);
    const Document& doc = document();
    switch (m_zoom) {
    case Zoom::WholePage:
        return std::max(0.5,
                        std::min(room.width() / doc.pageWidth(), room.height() / doc.pageHeight()));
    case Zoom::PageWidth:
        return std::max(0.5, (room.width() - m_scroll->verticalScrollBar()->sizeHint().width()) /
                                 doc.pageWidth());
    case Zoom::Actual:
        break;
    }
    return actual;
}

// Runs layout steps, showing an engine error once and stopping there.
bool PreviewWindow::layoutUntil(int pages)
{
    try {
        while (!m_layout->finished() && m_layout->finishedPages() < pages)
            m_layout->step();
    } catch (const kdb::Error& e) {
        if (!m_failed) {
            m_failed = true;
            QTimer::singleShot(
                0, this, [this, message = e.message()] { widgets::showError(message, this); });
        }
        return false;
    }
    return true;
}

void PreviewWindow::layoutSome()
{
    QElapsedTimer clock;
    clock.start();
    try {
        // A slice short enough that the window answers keys and clicks in between.
        while (!m_layout->finished() && clock.elapsed() < 40)
            m_layout->step();
    } catch (const kdb::Error& e) {
        m_failed = true;
        widgets::showError(e.message(), this);
    }
    if (!m_layout->finished())
        m_timer->start();
    updateControls();
}

void PreviewWindow::restartLayout()
{
    m_layout = std::make_unique<Layout>(m_reports);
    layoutUntil(m_page + 1);
    m_page = std::max(0, std::min(m_page, pageCount() - 1));
    if (!m_layout->finished())
        m_timer->start();
    m_view->update();
    updateControls();
}

void PreviewWindow::finishLayout()
{
    layoutUntil(std::numeric_limits<int>::max());
    updateControls();
}

void PreviewWindow::setPage(int page)
{
    if (page >= pageCount() - 1 && !layoutFinished())
        layoutUntil(page + 1);
    page = std::max(0, std::min(page, pageCount() - 1));
    if (page != m_page) {
        m_page = page;
        m_scroll->verticalScrollBar()->setValue(0);
        m_view->update();
    }
    updateControls();
}

void PreviewWindow::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    m_view->updateSize();
    updateControls();
}

void PreviewWindow::updateControls()
{
    const int count = pageCount();
    m_pageLabel->setText(QStringLiteral("Страница %1 из %2%3")
                             .arg(count ? m_page + 1 : 0)
                             .arg(count)
                             .arg(layoutFinished() ? QString() : QStringLiteral("…")));
    m_first->setEnabled(m_page > 0);
    m_prior->setEnabled(m_page > 0);
    m_next->setEnabled(m_page < count - 1 || !layoutFinished());
    m_last->setEnabled(m_page < count - 1 || !layoutFinished());
    m_whole->setEnabled(m_zoom != Zoom::WholePage);
    m_width->setEnabled(m_zoom != Zoom::PageWidth);
    m_actual->setEnabled(m_zoom != Zoom::Actual);
}

bool PreviewWindow::navigate(int key)
{
    switch (key) {
    case Qt::Key_PageDown:
        setPage(m_page + 1);
        return true;
    case Qt::Key_PageUp:
        setPage(m_page - 1);
        return true;
    case Qt::Key_Home:
        setPage(0);
        return true;
    case Qt::Key_End:
        finishLayout();
        setPage(pageCount() - 1);
        return true;
    default:
        return false;
    }
}

void PreviewWindow::keyPressEvent(QKeyEvent* event)
{
    if (!navigate(event->key()))
        QDialog::keyPressEvent(event); // Escape closes
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The scroll area would scroll by a screen on these keys; here they turn pages.
    if (watched == m_scroll && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
        navigate(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_view)
        m_view->updateSize();
}

bool PreviewWindow::printTo(QPrinter& printer)
{
    finishLayout();
    if (m_failed)
        return false;
    int first = 0, last = -1;
    if (printer.printRange() == QPrinter::PageRange) {
        first = printer.fromPage() - 1;
        last = printer.toPage() - 1;
    }
    bool stopped = false;
    auto progress = progressFor(QStringLiteral("Печать..."), &stopped);
    if (!document().paint(printer, first, last, progress)) {
        if (stopped)
            return false;
        widgets::showError(QStringLiteral("Не удалось напечатать документ."), this);
        return false;
    }
    return true;
}

bool PreviewWindow::saveTo(const QString& fileName)
{
    finishLayout();
    if (m_failed)
        return false;
    QString error;
    bool stopped = false;
    if (!document().savePdf(fileName, &error,
                            progressFor(QStringLiteral("Сохранение в PDF..."), &stopped))) {
        if (!stopped)
            widgets::showError(error, this);
        return false;
    }
    return true;
}

// A long document shows how far printing has come and may be stopped; a short one prints at
// once without a flash of a progress window.
Document::Progress PreviewWindow::progressFor(const QString& label, bool* stopped)
{
    auto dialog = std::make_shared<std::unique_ptr<QProgressDialog>>();
    return [this, label, stopped, dialog](int done, int total) {
        if (total < kProgressPages)
            return true;
        if (!*dialog) {
            *dialog =
                std::make_unique<QProgressDialog>(label, QStringLiteral("Отмена"), 0, total, this);
            (*dialog)->setWindowTitle(title());
            (*dialog)->setWindowModality(Qt::WindowModal);
            (*dialog)->setMinimumDuration(300);
        }
        (*dialog)->setValue(done);
        if ((*dialog)->wasCanceled()) {
            *stopped = true;
            return false;
        }
        return true;
    };
}

void PreviewWindow::printClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    dialog.setMinMax(1, std::max(1, pageCount()));
    if (dialog.exec() != QDialog::Accepted)
        return; // cancelled: nothing is printed
    printTo(printer);
}

void PreviewWindow::pdfClick()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Сохранить в PDF"), folder, QStringLiteral("Документ PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    saveTo(file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
               ? file
               : file + QStringLiteral(".pdf"));
}

void preview(std::vector<Report*> reports, QWidget* parent)
{
    PreviewWindow window(std::move(reports), parent);
    window.exec();
}

} // namespace report
