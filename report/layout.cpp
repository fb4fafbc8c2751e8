#include "layout.h"

#include "dataset.h"
#include "error.h"
#include "expression.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace report {

namespace {

// A rich text that never reaches for files or the network: a memo's <img src=...> from
// outside must not make the printout read the disk.
class SealedTextDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return QVariant(); }
};

} // namespace

struct Layout::FontInfo {
    Font font;
    int index = -1; // in the document
    QFont qfont;
    double ascent = 0;     // millimetres
    double lineHeight = 0; // millimetres, line to line
    std::unique_ptr<QFontMetricsF> metrics;
};

// One thing of a measured band: an element placed relative to the band's top-left corner.
struct Layout::Piece {
    Element element;
    bool pageNumber = false; // its text is the page it lands on
};

Layout::Layout(std::vector<Report*> reports) : m_reports(std::move(reports))
{
    for (Report* r : m_reports) {
        if (r->detailBand() && r->dataset && r->dataset->isOpen())
            m_rowsTotal += r->dataset->recordCount();
    }
    if (m_reports.empty())
        m_finished = true;
}

Layout::~Layout() = default;

int Layout::finishedPages() const
{
    return m_finished ? m_doc.pageCount() : std::max(0, m_doc.pageCount() - 1);
}

void Layout::run()
{
    while (step()) {
    }
}

bool Layout::step()
{
    if (m_finished)
        return false;
    try {
        m_report = m_reports[m_current];
        switch (m_phase) {
        case Phase::Start:
            startReport();
            m_phase = Phase::Rows;
            break;
        case Phase::Rows: {
            Band* detail = m_report->detailBand();
            kdb::Dataset* ds = m_report->dataset;
            const bool rows = ds && ds->isOpen();
            // A closed main dataset has no rows; only a report without one prints its detail once.
            const int count = !detail ? 0 : rows ? ds->recordCount() : ds ? 0 : 1;
            if (m_row >= count) {
                m_phase = Phase::End;
                break;
            }
            Context c{rows ? ds : nullptr, rows ? m_row : -1, m_mainCount};
            const auto& groups = m_report->groupHeaders();
            for (size_t g = 0; g < groups.size(); ++g) {
                Band& band = *groups[g];
                Item probe;
                probe.kind = ItemKind::Expression;
                probe.text = band.groupExpression;
                const QString value = itemText(probe, c);
                if (m_row == 0 || value != m_groupValues[g]) {
                    m_groupValues[g] = value;
                    printTree(band, c);
                }
            }
            // Count includes the row being printed, as a footer of the row would see it.
            c.count = m_mainCount + 1;
            if (printTree(*detail, c))
                ++m_mainCount;
            ++m_row;
            if (rows)
                ++m_rowsDone;
            break;
        }
        case Phase::End:
            if (Band* summary = m_report->summaryBand())
                printTree(*summary, Context{m_report->dataset, -1, m_mainCount});
            ++m_current;
            m_phase = Phase::Start;
            if (m_current >= m_reports.size())
                m_finished = true;
            break;
        }
    } catch (...) {
        m_finished = true;
        throw;
    }
    if (m_finished && m_doc.pageCount() > 0)
        m_doc.lastPage().elements.shrink_to_fit();
    return !m_finished;
}

void Layout::startReport()
{
    m_row = 0;
    m_mainCount = 0;
    m_titleDone = false;
    m_groupValues.assign(m_report->groupHeaders().size(), QString());
    m_doc.setPageSize(m_report->pageWidth(), m_report->pageHeight());
    newPage();
    if (Band* title = m_report->titleBand())
        printTree(*title, Context{m_report->dataset, -1, 0});
    m_titleDone = true;
    if (Band* columns = m_report->columnHeaderBand())
        printTree(*columns, Context{m_report->dataset, -1, 0});
    m_pageTop = m_y;
}

double Layout::bottom() const
{
    return m_report->pageHeight() - m_report->margins.bottom;
}

void Layout::newPage()
{
    // A finished page keeps no room to grow: a list of thousands of pages adds up.
    if (m_doc.pageCount() > 0)
        m_doc.lastPage().elements.shrink_to_fit();
    m_doc.addPage();
    m_y = m_report->margins.top;
    m_pageTop = m_y;
    m_startingPage = true;
    if (Band* header = m_report->pageHeaderBand())
        printTree(*header, Context{m_report->dataset, -1, 0});
    // The column heads repeat under the page header; on the first page they follow the title.
    if (m_titleDone) {
        if (Band* columns = m_report->columnHeaderBand())
            printTree(*columns, Context{m_report->dataset, -1, 0});
    }
    m_startingPage = false;
    m_pageTop = m_y;
    m_freshTop = m_y;
}

bool Layout::printTree(Band& band, const Context& context)
{
    if (!placeBand(band, context))
        return false;
    for (const auto& child : band.children())
        printTree(*child, context);
    for (const auto& sub : band.subDetails()) {
        kdb::Dataset* ds = sub->dataset;
        const int rows = ds && ds->isOpen() ? ds->recordCount() : 0;
        if (rows == 0 && !sub->printIfEmpty)
            continue;
        if (Band* h = sub->headerBand())
            printTree(*h, Context{ds, rows > 0 ? 0 : -1, 0});
        int printed = 0;
        for (int r = 0; r < rows; ++r) {
            if (printTree(*sub, Context{ds, r, printed + 1}))
                ++printed;
        }
        if (Band* f = sub->footerBand())
            printTree(*f, Context{ds, rows > 0 ? rows - 1 : -1, printed});
    }
    return true;
}

const Layout::FontInfo& Layout::fontInfo(const Font& font)
{
    for (const auto& f : m_fonts) {
        if (f->font == font)
            return *f;
    }
    auto info = std::make_unique<FontInfo>();
    info->font = font;
    info->index = m_doc.fontIndex(font);
    info->qfont = qtFont(font, font.size);
    info->metrics = std::make_unique<QFontMetricsF>(info->qfont, measureDevice());
    info->ascent = info->metrics->ascent() * kMmPerMeasurePixel;
    info->lineHeight = info->metrics->lineSpacing() * kMmPerMeasurePixel;
    m_fonts.push_back(std::move(info));
    return *m_fonts.back();
}

QString Layout::itemText(Item& item, const Context& context)
{
    kdb::Dataset* ds = item.dataset ? item.dataset : context.dataset;
    if (!ds)
        ds = m_report->dataset;
    const int row = !ds || !ds->isOpen()                        ? -1
                    : ds == context.dataset && context.row >= 0 ? context.row
                                                                : ds->recNo();
    switch (item.kind) {
    case ItemKind::Label:
        return item.text;
    case ItemKind::Field:
    case ItemKind::Memo:
    case ItemKind::RichText: {
        if (item.kind == ItemKind::Memo && item.text.isEmpty())
            return QString();
        if (!ds)
            throw kdb::Error(
                kdb::Error::Code::NotFound,
                QStringLiteral("Поле отчета %1 не связано с набором данных.").arg(item.text));
        const kdb::Field& f = ds->fieldByName(item.text);
        return row >= 0 ? ds->displayTextAt(row, f.index()) : QString();
    }
    case ItemKind::Expression:
        if (!item.compiled)
            item.compiled = Expression::parse(item.text);
        return item.compiled->evaluate(Expression::Context{ds, row, context.count});
    case ItemKind::SystemDate:
        return (m_report->date.isValid() ? m_report->date : QDate::currentDate())
            .toString(QStringLiteral("dd.MM.yyyy"));
    case ItemKind::PageNumber:
        return QString::number(m_doc.pageCount());
    case ItemKind::Picture:
        break;
    }
    return QString();
}

void Layout::measure(Band& band, const Context& context, std::vector<Piece>& pieces, double& height)
{
    height = band.height;
    for (const auto& owned : band.items()) {
        Item& item = *owned;
        if (!item.visible)
            continue;
        const QRectF r = item.rect;
        height = std::max(height, r.bottom());
        if (item.kind == ItemKind::Picture) {
            if (item.picture.isNull())
                continue;
            Piece p;
            p.element.kind = Element::Kind::Picture;
            p.element.rect = r;
            p.element.name = item.name;
            p.element.resource = m_doc.addPicture(item.picture);
            pieces.push_back(std::move(p));
            continue;
        }
        const QString text = itemText(item, context);
        if (item.kind == ItemKind::RichText) {
            if (text.trimmed().isEmpty())
                continue;
            auto doc = std::make_shared<SealedTextDocument>();
            doc->documentLayout()->setPaintDevice(measureDevice());
            doc->setDefaultFont(fontInfo(item.font).qfont);
            doc->setDocumentMargin(0);
            if (Qt::mightBeRichText(text))
                doc->setHtml(text);
            else
                doc->setPlainText(text);
            doc->setTextWidth(r.width() / kMmPerMeasurePixel);
            const int resource = m_doc.addRichText(doc);
            double bottom = r.top();
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
                const QRectF blockRect = doc->documentLayout()->blockBoundingRect(b);
                QTextLayout* tl = b.layout();
                for (int i = 0; tl && i < tl->lineCount(); ++i) {
                    const QTextLine line = tl->lineAt(i);
                    const double top = (blockRect.top() + line.y()) * kMmPerMeasurePixel;
                    const double h = line.height() * kMmPerMeasurePixel;
                    Piece p;
                    p.element.kind = Element::Kind::RichText;
                    p.element.rect = QRectF(r.left(), r.top() + top, r.width(), h);
                    p.element.name = item.name;
                    p.element.resource = resource;
                    p.element.sliceTop = top;
                    p.element.text = b.text().mid(line.textStart(), line.textLength()).trimmed();
                    bottom = std::max(bottom, p.element.rect.bottom());
                    pieces.push_back(std::move(p));
                }
            }
            height = std::max(height, bottom);
            continue;
        }
        const FontInfo& fi = fontInfo(item.font);
        auto addLine = [&](const QString& line, double y, double naturalWidth) {
            Piece p;
            p.element.kind = Element::Kind::Text;
            p.element.font = fi.index;
            p.element.name = item.name;
            p.element.text = line;
            double x = r.left();
            if (item.alignment & Qt::AlignRight)
                x = r.right() - naturalWidth;
            else if (item.alignment & Qt::AlignHCenter)
                x = r.left() + (r.width() - naturalWidth) / 2;
            // The line's box runs to the item's right edge: painting cuts what passes it.
            const double left = std::max(r.left(), x);
            p.element.rect = QRectF(left, y, r.right() - left, fi.lineHeight);
            p.pageNumber = item.kind == ItemKind::PageNumber;
            pieces.push_back(std::move(p));
        };
        const bool wraps = item.stretch || item.kind == ItemKind::Memo;
        if (!wraps) {
            if (text.isEmpty())
                continue;
            QString line = text;
            line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
            const double width = item.alignment & (Qt::AlignRight | Qt::AlignHCenter)
                                     ? fi.metrics->horizontalAdvance(line) * kMmPerMeasurePixel
                                     : r.width();
            addLine(line, r.top(), width);
            continue;
        }
        // Wrapped at word boundaries, a word longer than the line anywhere; each line is
        // its own element so that a page may break between any two of them.
        double y = r.top();
        const double widthPx = r.width() / kMmPerMeasurePixel;
        // Most values of a list fit on one line: measured once, without a line layout.
        if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
            const double natural = fi.metrics->horizontalAdvance(text);
            if (natural <= widthPx) {
                QString line = text;
                while (!line.isEmpty() && line.back().isSpace())
                    line.chop(1);
                if (!line.isEmpty())
                    addLine(line, y, natural * kMmPerMeasurePixel);
                height = std::max(height, line.isEmpty() ? y : y + fi.lineHeight);
                continue;
            }
        }
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        QString normalized = text;
        normalized.remove(QLatin1Char('\r'));
        const QStringList paragraphs = normalized.split(QLatin1Char('\n'));
        // Trailing empty lines of a memo print nothing.
        int last = static_cast<int>(paragraphs.size()) - 1;
        while (last >= 0 && paragraphs[last].trimmed().isEmpty())
            --last;
        for (int i = 0; i <= last; ++i) {
            const QString& para = paragraphs[i];
            if (para.isEmpty()) {
                y += fi.lineHeight;
                continue;
            }
            QTextLayout tl(para, fi.qfont, measureDevice());
            tl.setTextOption(option);
            tl.beginLayout();
            for (;;) {
                QTextLine line = tl.createLine();
                if (!line.isValid())
                    break;
                line.setLineWidth(widthPx);
                QString part = para.mid(line.textStart(), line.textLength());
                while (!part.isEmpty() && part.back().isSpace())
                    part.chop(1);
                if (!part.isEmpty())
                    addLine(part, y, line.naturalTextWidth() * kMmPerMeasurePixel);
                y += fi.lineHeight;
            }
            tl.endLayout();
        }
        height = std::max(height, y);
    }
}

void Layout::emit(const Piece& piece, double top)
{
    Element e = piece.element;
    e.rect.translate(m_report->margins.left, top);
    if (piece.pageNumber)
        e.text = QString::number(m_doc.pageCount());
    Page& page = m_doc.lastPage();
    // Lines of one rich text that land together on a page are painted as one slice.
    if (e.kind == Element::Kind::RichText && !page.elements.empty()) {
        Element& prev = page.elements.back();
        if (prev.kind == Element::Kind::RichText && prev.resource == e.resource &&
            qAbs(prev.rect.bottom() - e.rect.top()) < 0.01) {
            prev.rect.setBottom(e.rect.bottom());
            prev.text += QLatin1Char('\n') + e.text;
            return;
        }
    }
    page.elements.push_back(std::move(e));
}

void Layout::frameSegment(const Band& band, double top, double bottom, bool first, bool last)
{
    const double left = m_report->margins.left;
    const double right = m_report->pageWidth() - m_report->margins.right;
    auto line = [&](double x1, double y1, double x2, double y2, const char* edge) {
        Element e;
        e.kind = Element::Kind::Line;
        e.rect = QRectF(QPointF(x1, y1), QPointF(x2, y2));
        e.name = band.name.isEmpty() ? QString::fromLatin1(edge)
                                     : band.name + QLatin1Char('.') + QLatin1String(edge);
        m_doc.lastPage().elements.push_back(std::move(e));
    };
    if (first && band.frame.top)
        line(left, top, right, top, "top");
    if (last && band.frame.bottom)
        line(left, bottom, right, bottom, "bottom");
    if (band.frame.left)
        line(left, top, left, bottom, "left");
    if (band.frame.right)
        line(right, top, right, bottom, "right");
}

bool Layout::placeBand(Band& band, const Context& context)
{
    for (const auto& item : band.items())
        item->visible = true;
    if (band.beforePrint) {
        BandPrint print{band, context.dataset, context.row};
        band.beforePrint(print);
        if (!print.print)
            return false;
    }
    std::vector<Piece> pieces;
    double height = 0;
    measure(band, context, pieces, height);
    // The headers of a page are placed as they come: there is no better page for them.
    const bool isPageHeader = m_startingPage;
    // A band that does not fit moves to a fresh page, unless it would not fit there either.
    if (!isPageHeader && m_y + height > bottom() + 1e-6 && m_y > m_pageTop + 1e-6) {
        // The headers take the same room on every page.
        if (m_freshTop + height <= bottom() + 1e-6)
            newPage();
    }
    if (isPageHeader || m_y + height <= bottom() + 1e-6) {
        for (const Piece& p : pieces)
            emit(p, m_y);
        frameSegment(band, m_y, m_y + height, true, true);
        m_y += height;
        return true;
    }
    // Taller than a page: the band breaks between its lines.
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return a.element.rect.top() < b.element.rect.top();
    });
    double origin = m_y; // where the band's top would be on the current page
    double segmentTop = m_y;
    bool first = true;
    for (const Piece& p : pieces) {
        const double top = origin + p.element.rect.top();
        const double h = p.element.rect.height();
        if (top + h > bottom() + 1e-6 && top > m_pageTop + 1e-6) {
            frameSegment(band, segmentTop, bottom(), first, false);
            first = false;
            newPage();
            origin = m_y - p.element.rect.top();
            segmentTop = m_y;
        }
        emit(p, origin);
    }
    const double end = std::max(origin + height, segmentTop);
    frameSegment(band, segmentTop, std::min(end, bottom()), first, true);
    m_y = std::min(end, bottom());
    return true;
}

} // namespace report
