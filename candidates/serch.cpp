#include "serch.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kadrol {

TFsrch* Fsrch = nullptr;

TFsrch::TFsrch(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Поиск по фамилии"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Задайте начальные буквы фамилии"), this);
    m_edit = new QLineEdit(this);
    m_edit->setAccessibleName(label->text());
    label->setBuddy(m_edit);
    layout->addWidget(label);
    layout->addWidget(m_edit);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(cancel->text());
    // Enter in the box presses "Ok".
    ok->setDefault(true);
    ok->setAutoDefault(true);
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(320);
    adjustSize();
}

QString TFsrch::text() const
{
    return m_edit->text();
}

void TFsrch::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, the text of the last search ready to be typed over.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    m_edit->setFocus();
    m_edit->selectAll();
}

} // namespace kadrol
