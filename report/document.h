#pragma once

// The laid-out document of a report: pages of positioned elements in millimetres, painted the
// same way on screen, on paper and into PDF, and read back as text by tests.

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QPaintDevice;
class QTextDocument;

namespace report {

// A font as a report names it. "Times New Roman" is drawn with Liberation Serif, which has the
// same metrics, so that a printout breaks its lines and pages alike on every machine.
struct Font {
    QString family = QStringLiteral("Times New Roman");
    double size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const Font& o) const
    {
        return family == o.family && size == o.size && bold == o.bold && italic == o.italic &&
               underline == o.underline;
    }
};

// The family the font is drawn with.
QString resolvedFamily(const QString& family);
// The Qt font for a report font at the given point size (the size differs from font.size when
// the painter zooms).
QFont qtFont(const Font& font, double pointSize);
// The device every layout measures on (1200 dots per inch), so that measurements do not depend
// on the screen; its pixels per millimetre.
QPaintDevice* measureDevice();
constexpr double kMeasureDpi = 1200.0;
constexpr double kMmPerMeasurePixel = 25.4 / kMeasureDpi;

// One thing placed on a page. Positions are millimetres from the page's top-left corner.
struct Element {
    enum class Kind { Text, Line, Picture, RichText };
    Kind kind = Kind::Text;
    QRectF rect;         // Text: one line's box; Line: from top-left to bottom-right (one is thin)
    QString text;        // Text: the line as printed; RichText: the plain text of the slice
    QString name;        // the report item that made it, for tests and the text dump
    int font = -1;       // Text: index into Document::fonts()
    int resource = -1;   // Picture: index into pictures; RichText: index into rich texts
    double sliceTop = 0; // RichText: top of the slice in the text's own layout, millimetres
};

struct Page {
    std::vector<Element> elements;
};

class Document {
public:
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    double pageWidth() const { return m_pageWidth; }
    double pageHeight() const { return m_pageHeight; }
    void setPageSize(double widthMm, double heightMm);

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    const Page& page(int index) const { return m_pages.at(static_cast<size_t>(index)); }
    Page& addPage();
    Page& lastPage() { return m_pages.back(); }

    int fontIndex(const Font& font);
    const Font& font(int index) const { return m_fonts.at(static_cast<size_t>(index)); }
    int addPicture(const QImage& image);
    const QImage& picture(int index) const { return m_pictures.at(static_cast<size_t>(index)); }
    // Takes a rich text laid out on measureDevice(); its text width is fixed by the caller.
    int addRichText(std::shared_ptr<QTextDocument> text);
    QTextDocument* richText(int index) const { return m_rich.at(static_cast<size_t>(index)).get(); }

    // Paints one page with its top-left corner at origin (device pixels) at pxPerMm pixels per
    // millimetre of paper. The painter's device decides how points become pixels.
    void paintPage(QPainter& painter, int page, QPointF origin, double pxPerMm) const;
    // Told the number of pages done before each page; false stops the painting.
    using Progress = std::function<bool(int done, int total)>;
    // Paints the pages first..last (0-based, all by default) onto a printer or PDF writer on A4
    // paper, a new page between pages. False when the device cannot be painted on or progress
    // stopped it.
    bool paint(QPagedPaintDevice& device, int first = 0, int last = -1,
               const Progress& progress = {}) const;
    // Writes the document as PDF. The file appears only when it is written whole; false with
    // a message in error otherwise (an empty message when progress stopped it).
    bool savePdf(const QString& fileName, QString* error, const Progress& progress = {}) const;

    // The texts of one page in order, and the whole document as lines "page y x name: text"
    // (millimetres, one decimal), the form the golden files keep.
    QStringList texts(int page) const;
    QString dump() const;

private:
    double m_pageWidth = 210;
    double m_pageHeight = 297;
    std::vector<Page> m_pages;
    std::vector<Font> m_fonts;
    std::vector<QImage> m_pictures;
    std::vector<std::shared_ptr<QTextDocument>> m_rich;
};

} // namespace report
