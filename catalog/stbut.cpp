#include "stbut.h"

#include "buttons.h"
#include "guard.h"
#include "lookuplist.h"
#include "messages.h"
#include "naimen.h"
#include "pdm.h"
#include "pictures.h"
#include "spcard.h"
#include "strkatl.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kadrol {

TFStBut* FStBut = nullptr;

TFStBut::TFStBut(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Каталог вакансий"));
    m_picture = new QLabel(this);
    m_picture->setAlignment(Qt::AlignCenter);
    const QPixmap picture = pictureFromStore(6);
    if (!picture.isNull())
        m_picture->setPixmap(picture);
    m_picture->setAccessibleName(QStringLiteral("Каталог вакансий"));

    auto* panel = new QWidget(this);
    Bn = widgets::panelButton(panel, QStringLiteral("Наименования"));
    Bs = widgets::panelButton(panel, QStringLiteral("Структура"));
    Ball = widgets::panelButton(panel, QStringLiteral("Весь каталог"));
    Ball->setToolTip(QStringLiteral("Список кандидатов по всем разделам каталога"));
    auto* sphereGroup = new QGroupBox(panel);
    Ldiv = new QComboBox(sphereGroup);
    Ldiv->setAccessibleName(QStringLiteral("Сфера каталога"));
    Ldiv->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Ldiv->setMinimumContentsLength(20);
    Bsf = widgets::panelButton(sphereGroup, QStringLiteral("Сфера"));
    Bsf->setToolTip(QStringLiteral("Список кандидатов по выбранной сфере"));
    auto* sphereLayout = new QVBoxLayout(sphereGroup);
    sphereLayout->addWidget(Ldiv);
    sphereLayout->addWidget(Bsf);
    Bh = widgets::panelButton(panel, QStringLiteral("Справка"));
    // The help file of the old desktop has no viewer here; the button stays for its place.
    Bh->setEnabled(false);
    Bv = widgets::panelButton(panel, QStringLiteral("Выход"));

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(Bn);
    panelLayout->addWidget(Bs);
    panelLayout->addWidget(Ball);
    panelLayout->addWidget(sphereGroup);
    panelLayout->addStretch(1);
    panelLayout->addWidget(Bh);
    panelLayout->addWidget(Bv);
    panel->setFixedWidth(qMax(panel->sizeHint().width(), 240));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_picture, 1);
    layout->addWidget(panel);
    if (!picture.isNull())
        m_picture->setMinimumSize(qMin(picture.width(), 480), qMin(picture.height(), 360));

    // On creation the drop-down stands on the sphere that is the shared table's current row.
    fillSpheres();
    if (DM->sfera.isOpen() && !DM->sfera.isEmpty()) {
        const int i = Ldiv->findData(DM->sfera.value(QStringLiteral("Keyn")));
        if (i >= 0)
            Ldiv->setCurrentIndex(i);
    }

    widgets::onSignal(Bn, &QPushButton::clicked, this, [this] { BnClick(); });
    widgets::onSignal(Bs, &QPushButton::clicked, this, [this] { BsClick(); });
    widgets::onSignal(Ball, &QPushButton::clicked, this, [this] { BallClick(); });
    widgets::onSignal(Bsf, &QPushButton::clicked, this, [this] { BsfClick(); });
    connect(Bv, &QPushButton::clicked, this, &TFStBut::reject);
    connect(Ldiv, &QComboBox::currentIndexChanged, this,
            [this] { Bsf->setEnabled(chosenSphere() > 0); });
    Bsf->setEnabled(chosenSphere() > 0);
}

void TFStBut::fillSpheres()
{
    // The names may have been edited since the last showing; the choice is kept by its key.
    const QVariant chosen = Ldiv->currentData();
    Ldiv->clear();
    for (const widgets::LookupEntry& e :
         widgets::readLookupList(DM->sfera, QStringLiteral("Keyn"), QStringLiteral("Name")))
        Ldiv->addItem(e.name, e.key);
    const int i = chosen.isValid() ? Ldiv->findData(chosen) : -1;
    Ldiv->setCurrentIndex(i >= 0 ? i : (Ldiv->count() > 0 ? 0 : -1));
    Bsf->setEnabled(chosenSphere() > 0);
}

void TFStBut::showEvent(QShowEvent* event)
{
    widgets::guarded([this] { fillSpheres(); }, this);
    QDialog::showEvent(event);
}

int TFStBut::chosenSphere() const
{
    bool ok = false;
    const int key = Ldiv->currentData().toInt(&ok);
    return ok ? key : 0;
}

QString TFStBut::wholeCatalogCondition()
{
    // Every position on the catalog has a sphere; an empty or 0 sphere is no position.
    return QStringLiteral("(s.sfr>0)");
}

QString TFStBut::sphereCondition(int sphere)
{
    return QStringLiteral("(s.sfr=%1)").arg(sphere);
}

void TFStBut::BnClick()
{
    // The catalog's own names: the group of the catalog, its first list (the spheres).
    Fnaimen->showList(0, 0);
    fillSpheres();
}

void TFStBut::BsClick()
{
    Fedkatl->prepare(TFedkatl::Mode::Browse);
    Fedkatl->exec();
}

void TFStBut::BallClick()
{
    Fstrcard->showFor(wholeCatalogCondition());
}

void TFStBut::BsfClick()
{
    const int sphere = chosenSphere();
    if (sphere <= 0)
        return;
    Fstrcard->showFor(sphereCondition(sphere));
}

} // namespace kadrol
