#include "report.h"

#include "dataset.h"
#include "layout.h"

namespace report {

QVariant BandPrint::value(const QString& fieldName) const
{
    const kdb::Field* f = dataset ? dataset->findField(fieldName) : nullptr;
    if (!f)
        return QVariant();
    return row >= 0 ? dataset->valueAt(row, f->index()) : f->value();
}

QString BandPrint::text(const QString& fieldName) const
{
    const kdb::Field* f = dataset ? dataset->findField(fieldName) : nullptr;
    if (!f)
        return QString();
    return row >= 0 ? dataset->displayTextAt(row, f->index()) : f->displayText();
}

Band::Band(BandKind kind, double h) : height(h), m_kind(kind) {}
Band::~Band() = default;

Item& Band::add(ItemKind kind, QRectF rect, const QString& text, const Font& font)
{
    auto item = std::make_unique<Item>();
    item->kind = kind;
    item->rect = rect;
    item->text = text;
    item->font = font;
    item->stretch = kind == ItemKind::Memo || kind == ItemKind::RichText;
    m_items.push_back(std::move(item));
    return *m_items.back();
}

Item& Band::field(QRectF rect, const QString& fieldName, const Font& font, kdb::Dataset* ds)
{
    Item& item = add(ItemKind::Field, rect, fieldName, font);
    item.dataset = ds;
    item.name = fieldName;
    return item;
}

Item& Band::memo(QRectF rect, const QString& fieldName, const Font& font, kdb::Dataset* ds)
{
    Item& item = add(ItemKind::Memo, rect, fieldName, font);
    item.dataset = ds;
    item.name = fieldName;
    return item;
}

Item& Band::richText(QRectF rect, const QString& fieldName, const Font& font, kdb::Dataset* ds)
{
    Item& item = add(ItemKind::RichText, rect, fieldName, font);
    item.dataset = ds;
    item.name = fieldName;
    return item;
}

Item& Band::picture(QRectF rect, const QString& name)
{
    Item& item = add(ItemKind::Picture, rect, QString());
    item.name = name;
    return item;
}

Item* Band::item(const QString& name) const
{
    for (const auto& i : m_items) {
        if (i->name == name)
            return i.get();
    }
    return nullptr;
}

Band& Band::addChild(double h)
{
    m_children.push_back(std::make_unique<Band>(BandKind::Child, h));
    return *m_children.back();
}

Band& Band::addSubDetail(kdb::Dataset& ds, double h)
{
    m_subDetails.push_back(std::make_unique<Band>(BandKind::SubDetail, h));
    m_subDetails.back()->dataset = &ds;
    return *m_subDetails.back();
}

Band& Band::header(double h)
{
    if (!m_header) {
        m_header = std::make_unique<Band>(BandKind::SubDetailHeader, h);
        m_header->dataset = dataset;
    }
    return *m_header;
}

Band& Band::footer(double h)
{
    if (!m_footer) {
        m_footer = std::make_unique<Band>(BandKind::SubDetailFooter, h);
        m_footer->dataset = dataset;
    }
    return *m_footer;
}

Report::Report() = default;
Report::~Report() = default;

Band& Report::make(std::unique_ptr<Band>& slot, BandKind kind, double h)
{
    if (!slot)
        slot = std::make_unique<Band>(kind, h);
    return *slot;
}

Band& Report::addGroupHeader(const QString& expression, double h)
{
    m_groups.push_back(std::make_unique<Band>(BandKind::GroupHeader, h));
    m_groups.back()->groupExpression = expression;
    return *m_groups.back();
}

Document Report::build()
{
    Layout layout({this});
    layout.run();
    return layout.takeDocument();
}

Document buildComposite(const std::vector<Report*>& reports)
{
    Layout layout(reports);
    layout.run();
    return layout.takeDocument();
}

} // namespace report
