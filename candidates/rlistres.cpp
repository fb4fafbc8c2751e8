#include "rlistres.h"

#include "dataset.h"
#include "pdm.h"
#include "preview.h"

namespace {

report::Font bold(double size = 10)
{
    report::Font f;
    f.size = size;
    f.bold = true;
    return f;
}

} // namespace

TQlistres::TQlistres()
{
    m_report.margins = {10, 10, 10, 10};
    const double width = m_report.bodyWidth(); // 190 mm

    report::Band& header = m_report.pageHeader(7);
    header.add(report::ItemKind::PageNumber, QRectF(width - 30, 0, 30, 5), {}, bold())
        .setName(QStringLiteral("page"))
        .setAlignment(Qt::AlignRight);

    report::Band& title = m_report.title(11);
    m_title =
        &title.label(QRectF(0, 0, width, 8), QString(), bold(16)).setName(QStringLiteral("title"));
    m_title->stretch = true;

    // The heads stand under the title and again under the page number of every later page.
    report::Band& heads = m_report.columnHeader(6.5);
    heads.frame.bottom = true;
    m_caption =
        &heads.label(QRectF(0, 0, 22, 5), QString(), bold()).setName(QStringLiteral("caption"));
    heads.label(QRectF(24, 0, 72, 5), QStringLiteral("Ф.И.О."), bold());
    heads.label(QRectF(98, 0, 28, 5), QStringLiteral("Дата рождения"), bold());
    heads.label(QRectF(128, 0, 62, 5), QStringLiteral("Примечание"), bold());

    report::Band& detail = m_report.detail(5.5);
    m_first = &detail.field(QRectF(0, 0.5, 22, 5), QString(), bold());
    detail.expression(QRectF(24, 0.5, 72, 5), QStringLiteral("Namef+' '+Namei+' '+nameo"), bold())
        .setName(QStringLiteral("fio"))
        .setStretch();
    detail.field(QRectF(98, 0.5, 28, 5), QStringLiteral("DatBd"), bold())
        .setName(QStringLiteral("datbd"));
    detail.field(QRectF(128, 0.5, 62, 5), QStringLiteral("Note"), bold())
        .setName(QStringLiteral("note"))
        .setStretch();

    report::Band& summary = m_report.summary(10);
    summary.frame.top = true;
    summary.label(QRectF(0, 2, 25, 7), QStringLiteral("Итого:"), bold(14))
        .setName(QStringLiteral("total"));
    summary.expression(QRectF(26, 2, 40, 7), QStringLiteral("Count"), bold(14))
        .setName(QStringLiteral("count"));
}

void TQlistres::setTitle(const QString& title)
{
    m_title->text = title;
}

void TQlistres::setFirstColumn(const QString& caption, const QString& fieldName)
{
    m_caption->text = caption;
    m_first->text = fieldName;
    m_first->name = QStringLiteral("first");
}

void TQlistres::setDataset(kdb::Dataset* dataset)
{
    m_report.dataset = dataset;
}

void TQlistres::prepareForBase(int base, kdb::Dataset* dataset)
{
    switch (base) {
    case 0:
        setTitle(QStringLiteral("Список дейстующих кандидатов"));
        setFirstColumn(QStringLiteral("Рег №"), QStringLiteral("Tn2"));
        break;
    case 1:
        setTitle(QStringLiteral("Список архивных кандидатов"));
        setFirstColumn(QStringLiteral("Рег №"), QStringLiteral("Tn2"));
        break;
    default:
        setTitle(QStringLiteral("Черный список"));
        setFirstColumn(QStringLiteral("Дата рег."), QStringLiteral("Dzanes"));
        break;
    }
    setDataset(dataset);
}

void TQlistres::preview(QWidget* parent)
{
    report::preview({&m_report}, parent);
}

void printCandidateList(int base, QWidget* parent)
{
    TQlistres printout;
    printout.prepareForBase(base, base == 2 ? static_cast<kdb::Dataset*>(&DM->black)
                                            : static_cast<kdb::Dataset*>(&DM->Reserv));
    printout.preview(parent);
}
