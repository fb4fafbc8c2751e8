#pragma once

// A band report: page setup in millimetres, bands in their printing order, items placed on the
// bands, and before-print hooks. Building it lays the bands out once into a Document.
//
// Printing order of one report:
//   page header          on every page, the first included, at the top margin
//   title                once, at the start
//   column header        after the title and under the page header of every later page
//   for each row of the main dataset (or once when there is none):
//     group headers      when their expression's value differs from the previous row's
//     detail             then its children, then its sub-details
//   summary              once, at the end
// Every band prints its child bands right after itself, and after them its sub-details: each
// runs over its own dataset, its header before the first row and its footer after the last.
// A band whose hook suppresses it prints none of its children or sub-details.
//
// A band that does not fit in what is left of the page moves whole to the next page, under
// that page's header; a band taller than a page (a long memo) breaks between lines.

#include "document.h"

#include <QDate>
#include <QImage>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kdb {
class Dataset;
}

namespace report {

class Band;
class Expression;

enum class ItemKind {
    Label,      // text: the caption
    Field,      // text: the field name; prints the field's display text
    Expression, // text: e.g. "Namef+' '+Namei", "Count"
    Memo,       // text: a field; wraps and stretches (a fixed text that wraps: a stretching label)
    RichText,   // text: a memo field holding rich text (HTML or plain)
    Picture,    // picture: stretched to the box
    SystemDate, // today as dd.MM.yyyy
    PageNumber, // the page number within the document
};

struct Item {
    ItemKind kind = ItemKind::Label;
    QString name; // found by hooks through Band::item
    QRectF rect;  // millimetres from the band's top-left corner (inside the left margin)
    Font font;
    QString text;
    // The dataset of a field; null means the band's dataset, else the report's main dataset.
    kdb::Dataset* dataset = nullptr;
    // Wraps at the item's width and grows downwards (memos always do).
    bool stretch = false;
    Qt::Alignment alignment = Qt::AlignLeft;
    QImage picture;
    bool visible = true; // a hook may hide an item for one printing

    Item& setName(const QString& n)
    {
        name = n;
        return *this;
    }
    Item& setStretch(bool on = true)
    {
        stretch = on;
        return *this;
    }
    Item& setAlignment(Qt::Alignment a)
    {
        alignment = a;
        return *this;
    }

private:
    friend class Layout;
    std::shared_ptr<Expression> compiled;
};

enum class BandKind {
    PageHeader,
    Title,
    ColumnHeader,
    GroupHeader,
    Detail,
    Child,
    SubDetail,
    SubDetailHeader,
    SubDetailFooter,
    Summary
};

// What a before-print hook sees: the band, the row it prints, and whether it prints. A hook
// changes the band's items in place (a label's text, a picture): the change stays until a hook
// changes it again, except Item::visible, which is true again at every printing.
struct BandPrint {
    Band& band;
    kdb::Dataset* dataset; // the dataset the band runs over, or null
    int row;               // that dataset's row, -1 when none
    bool print = true;     // set false to suppress the band for this printing

    // A field of the row being printed, in any letter case (null/empty when unknown).
    QVariant value(const QString& field) const;
    QString text(const QString& field) const;
};

struct Frame {
    bool top = false, bottom = false, left = false, right = false;
};

class Band {
public:
    Band(BandKind kind, double height);
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;
    ~Band();

    BandKind kind() const { return m_kind; }
    double height = 0; // millimetres; the band grows with its stretching items
    QString name;
    Frame frame;                     // lines along the band's edges
    kdb::Dataset* dataset = nullptr; // SubDetail: the rows it runs over
    QString groupExpression;         // GroupHeader: prints when its value changes
    // SubDetail: print header and footer also when there are no rows (the footer then counts 0).
    bool printIfEmpty = false;
    std::function<void(BandPrint&)> beforePrint;

    Item& add(ItemKind kind, QRectF rect, const QString& text, const Font& font = {});
    Item& label(QRectF rect, const QString& caption, const Font& font = {})
    {
        return add(ItemKind::Label, rect, caption, font);
    }
    Item& field(QRectF rect, const QString& fieldName, const Font& font = {},
                kdb::Dataset* ds = nullptr);
    Item& expression(QRectF rect, const QString& expr, const Font& font = {})
    {
        return add(ItemKind::Expression, rect, expr, font);
    }
    Item& memo(QRectF rect, const QString& fieldName, const Font& font = {},
               kdb::Dataset* ds = nullptr);
    Item& richText(QRectF rect, const QString& fieldName, const Font& font = {},
                   kdb::Dataset* ds = nullptr);
    Item& picture(QRectF rect, const QString& name);
    Item* item(const QString& name) const; // null when absent
    const std::vector<std::unique_ptr<Item>>& items() const { return m_items; }

    // A child band printed right after this one (and after earlier children).
    Band& addChild(double height);
    // A sub-detail over ds, printed after this band (and its children) each time it prints.
    Band& addSubDetail(kdb::Dataset& ds, double height);
    // For a SubDetail: its header and footer, made on first call.
    Band& header(double height = 0);
    Band& footer(double height = 0);
    Band* headerBand() const { return m_header.get(); }
    Band* footerBand() const { return m_footer.get(); }
    const std::vector<std::unique_ptr<Band>>& children() const { return m_children; }
    const std::vector<std::unique_ptr<Band>>& subDetails() const { return m_subDetails; }

private:
    BandKind m_kind;
    std::vector<std::unique_ptr<Item>> m_items;
    std::vector<std::unique_ptr<Band>> m_children;
    std::vector<std::unique_ptr<Band>> m_subDetails;
    std::unique_ptr<Band> m_header, m_footer;
};

struct Margins {
    double left = 10, top = 10, right = 10, bottom = 10; // millimetres
};

class Report {
public:
    Report();
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // A4 portrait; the margins per side.
    Margins margins;
    double pageWidth() const { return 210; }
    double pageHeight() const { return 297; }
    double bodyWidth() const { return pageWidth() - margins.left - margins.right; }

    // The main dataset: the detail band prints once per row, in the dataset's order, without
    // moving its cursor. Null: the detail prints once.
    kdb::Dataset* dataset = nullptr;
    // The date SystemDate items print; today when null (tests fix it).
    QDate date;

    // The bands, made on first call. A report without a detail band prints none.
    Band& pageHeader(double height = 0) { return make(m_pageHeader, BandKind::PageHeader, height); }
    Band& title(double height = 0) { return make(m_title, BandKind::Title, height); }
    Band& columnHeader(double height = 0)
    {
        return make(m_columnHeader, BandKind::ColumnHeader, height);
    }
    Band& detail(double height = 0) { return make(m_detail, BandKind::Detail, height); }
    Band& summary(double height = 0) { return make(m_summary, BandKind::Summary, height); }
    Band& addGroupHeader(const QString& expression, double height);

    Band* pageHeaderBand() const { return m_pageHeader.get(); }
    Band* titleBand() const { return m_title.get(); }
    Band* columnHeaderBand() const { return m_columnHeader.get(); }
    Band* detailBand() const { return m_detail.get(); }
    Band* summaryBand() const { return m_summary.get(); }
    const std::vector<std::unique_ptr<Band>>& groupHeaders() const { return m_groups; }

    // Lays the whole report out. Errors of the datasets (kdb::Error) and of expressions
    // (kdb::Error with a message naming the item) propagate.
    Document build();

private:
    Band& make(std::unique_ptr<Band>& slot, BandKind kind, double height);
    std::unique_ptr<Band> m_pageHeader, m_title, m_columnHeader, m_detail, m_summary;
    std::vector<std::unique_ptr<Band>> m_groups;
};

// Several reports one after the other as one document; each starts on a new page with its
// own margins, and page numbers run on through the whole.
Document buildComposite(const std::vector<Report*>& reports);

} // namespace report
