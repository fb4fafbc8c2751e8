#include "document.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>

namespace report {

QString resolvedFamily(const QString& family)
{
    // The agency's printouts were drawn in Times New Roman; Liberation Serif has its metrics.
    if (family.compare(QLatin1String("Times New Roman"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Serif");
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    return family;
}

QFont qtFont(const Font& font, double pointSize)
{
    QFont f(resolvedFamily(font.family));
    f.setPointSizeF(pointSize);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    // Layout measures at 1200 dots per inch; hinting would make widths depend on the device.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

QPaintDevice* measureDevice()
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(kMeasureDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

Document::Document() = default;
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

void Document::setPageSize(double widthMm, double heightMm)
{
    m_pageWidth = widthMm;
    m_pageHeight = heightMm;
}

Page& Document::addPage()
{
    m_pages.emplace_back();
    return m_pages.back();
}

int Document::fontIndex(const Font& font)
{
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i] == font)
            return static_cast<int>(i);
    }
    m_fonts.push_back(font);
    return static_cast<int>(m_fonts.size() - 1);
}

int Document::addPicture(const QImage& image)
{
    // A picture printed on many pages (a logo in the page header) is kept once.
    for (size_t i = 0; i < m_pictures.size(); ++i) {
        if (m_pictures[i].cacheKey() == image.cacheKey())
            return static_cast<int>(i);
    }
    m_pictures.push_back(image);
    return static_cast<int>(m_pictures.size() - 1);
}

int Document::addRichText(std::shared_ptr<QTextDocument> text)
{
    m_rich.push_back(std::move(text));
    return static_cast<int>(m_rich.size() - 1);
}

void Document::paintPage(QPainter& painter, int index, QPointF origin, double pxPerMm) const
{
    if (index < 0 || index >= pageCount())
        return;
    const double dpiY = painter.device()->logicalDpiY();
    auto px = [&](const QRectF& r) {
        return QRectF(origin.x() + r.x() * pxPerMm, origin.y() + r.y() * pxPerMm,
                      r.width() * pxPerMm, r.height() * pxPerMm);
    };
    std::vector<std::unique_ptr<QFont>> fonts(m_fonts.size());
    std::vector<double> ascents(m_fonts.size());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::black);
    for (const Element& e : page(index).elements) {
        const QRectF r = px(e.rect);
        switch (e.kind) {
        case Element::Kind::Text: {
            auto& f = fonts.at(static_cast<size_t>(e.font));
            if (!f) {
                const Font& rf = font(e.font);
                // The point size that gives the font its paper size at this zoom on this device.
                f = std::make_unique<QFont>(qtFont(rf, rf.size * 25.4 * pxPerMm / dpiY));
                ascents[static_cast<size_t>(e.font)] = QFontMetricsF(*f, painter.device()).ascent();
            }
            painter.setFont(*f);
            // A text that does not stretch is cut at its box, never drawn over its neighbour.
            // Small sizes on screen come out a little wider than the layout measured them, so
            // the cut lies a little beyond the box.
            const double slack = std::max(pxPerMm * 0.8, r.width() * 0.04);
            painter.setClipRect(
                QRectF(r.left(), r.top() - r.height(), r.width() + slack, r.height() * 3));
            painter.drawText(QPointF(r.left(), r.top() + ascents[static_cast<size_t>(e.font)]),
                             e.text);
            painter.setClipping(false);
            break;
        }
        case Element::Kind::Line: {
            QPen pen(Qt::black);
            pen.setWidthF(std::max(1.0, 0.25 * pxPerMm));
            painter.setPen(pen);
            painter.drawLine(r.topLeft(), r.bottomRight());
            painter.setPen(Qt::black);
            break;
        }
        case Element::Kind::Picture:
            painter.drawImage(r, picture(e.resource));
            break;
        case Element::Kind::RichText: {
            QTextDocument* doc = richText(e.resource);
            const double scale = pxPerMm * kMmPerMeasurePixel;
            const double top = e.sliceTop / kMmPerMeasurePixel;
            const double height = e.rect.height() / kMmPerMeasurePixel;
            painter.save();
            painter.translate(r.left(), r.top());
            painter.scale(scale, scale);
            painter.translate(0, -top);
            doc->drawContents(&painter, QRectF(0, top, doc->textWidth(), height));
            painter.restore();
            break;
        }
        }
    }
    painter.restore();
}

bool Document::paint(QPagedPaintDevice& device, int first, int last, const Progress& progress) const
{
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setFullPage(true); // the report places its own margins
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double pxPerMm = device.logicalDpiX() / 25.4;
    if (last < 0 || last >= pageCount())
        last = pageCount() - 1;
    first = std::max(0, first);
    for (int i = first; i <= last; ++i) {
        if (progress && !progress(i - first, last - first + 1)) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort(); // the job is withdrawn, not sent half printed
            painter.end();
            return false;
        }
        if (i > first && !device.newPage())
            return false;
        paintPage(painter, i, QPointF(0, 0), pxPerMm);
    }
    return painter.end();
}

bool Document::savePdf(const QString& fileName, QString* error, const Progress& progress) const
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
    // The file is written beside its place and renamed at the end, so a failure leaves nothing.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error =
                QStringLiteral("Не удалось записать файл %1: %2").arg(shown, file.errorString());
        return false;
    }
    bool painted = false;
    bool stopped = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Кадролог"));
        painted = paint(writer, 0, -1, [&](int done, int total) {
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    }
    if (!painted) {
        file.cancelWriting();
        if (error)
            *error =
                stopped ? QString() : QStringLiteral("Не удалось записать файл %1.").arg(shown);
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error =
                QStringLiteral("Не удалось записать файл %1: %2").arg(shown, file.errorString());
        return false;
    }
    return true;
}

QStringList Document::texts(int index) const
{
    QStringList out;
    for (const Element& e : page(index).elements) {
        if (e.kind == Element::Kind::Text || e.kind == Element::Kind::RichText)
            out << e.text;
    }
    return out;
}

QString Document::dump() const
{
    QString out;
    auto mm = [](double v) { return QString::number(v, 'f', 1); };
    for (int p = 0; p < pageCount(); ++p) {
        out += QStringLiteral("page %1\n").arg(p + 1);
        for (const Element& e : page(p).elements) {
            QString what;
            switch (e.kind) {
            case Element::Kind::Text: {
                const Font& f = font(e.font);
                QString style;
                if (f.bold)
                    style += QLatin1Char('b');
                if (f.italic)
                    style += QLatin1Char('i');
                if (f.underline)
                    style += QLatin1Char('u');
                what = QStringLiteral("%1%2: %3").arg(f.size).arg(style, e.text);
                break;
            }
            case Element::Kind::Line:
                what = QStringLiteral("line to %1 %2").arg(mm(e.rect.right()), mm(e.rect.bottom()));
                break;
            case Element::Kind::Picture:
                what = QStringLiteral("picture %1x%2").arg(mm(e.rect.width()), mm(e.rect.height()));
                break;
            case Element::Kind::RichText:
                what = QStringLiteral("rich %1: %2").arg(mm(e.rect.height()), e.text);
                break;
            }
            out +=
                QStringLiteral("  %1 %2 %3 %4\n").arg(mm(e.rect.y()), mm(e.rect.x()), e.name, what);
        }
    }
    return out;
}

} // namespace report
