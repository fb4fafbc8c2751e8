#include "ptn2.h"

#include "dbgrid.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QVBoxLayout>

namespace kadrol {

TFtn2::TFtn2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), DSQtn2(&Qtn2),
      m_grid(new widgets::DbGrid(this))
{
    setWindowTitle(QStringLiteral("Список рег. №"));
    Qtn2.setDatabaseName(QStringLiteral("kadrol"));
    Qtn2.setSql(QStringList{
        QStringLiteral("select tn2, (namef+\" \"+nameI+\" \"+nameo) as fio"),
        QStringLiteral("from \"reserv.db\""),
        QStringLiteral("order by tn2"),
    });
    Qtn2.open();

    m_grid->setDataSource(&DSQtn2);
    m_grid->setColumns({{QStringLiteral("Рег №"), QStringLiteral("tn2"), 90},
                        {QStringLiteral("Ф.И.О."), QStringLiteral("fio"), 0}});
    m_grid->setReadOnly(true);
    m_grid->setCaption(QStringLiteral("Список рег. №"));
    m_grid->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_grid);
    resize(420, 460);
    // Centred on the screen, whoever opened it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

TFtn2::~TFtn2()
{
    m_grid->setDataSource(nullptr);
    Qtn2.close();
}

} // namespace kadrol
