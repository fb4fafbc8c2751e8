#include "dbdateedit.h"

#include "field.h"
#include "fieldtext.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QToolButton>

namespace widgets {

DbDateEdit::DbDateEdit(QWidget* parent)
    : QWidget(parent), DataControl(this), m_edit(new QLineEdit(this)),
      m_button(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_button);
    // Digits and separators only: a date is checked as a whole when the box is left.
    m_edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9./]{0,10}")), m_edit));
    m_edit->setPlaceholderText(QStringLiteral("дд.мм.гггг"));
    m_edit->installEventFilter(this);
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setToolTip(QStringLiteral("Календарь"));
    m_button->setAccessibleName(QStringLiteral("Календарь"));
    setFocusProxy(m_edit);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setBoxColour(infoColour());
    connect(m_edit, &QLineEdit::textEdited, this, &DbDateEdit::onTextEdited);
    connect(m_edit, &QLineEdit::editingFinished, this, &DbDateEdit::onEditingFinished);
    connect(m_button, &QToolButton::clicked, this, &DbDateEdit::showCalendar);
    refresh();
}

DbDateEdit::DbDateEdit(DataSource* source, const QString& fieldName, QWidget* parent)
    : DbDateEdit(parent)
{
    bind(source, fieldName);
}

QDate DbDateEdit::date() const
{
    const kdb::Field* f = field();
    return f ? f->value().toDate() : QDate();
}

QString DbDateEdit::text() const
{
    return m_edit->text();
}

void DbDateEdit::setCaption(const QString& caption)
{
    DataControl::setCaption(caption);
    m_edit->setAccessibleName(caption);
}

void DbDateEdit::showValue(const kdb::Field* field)
{
    const QString text = field ? field->displayText() : QString();
    if (m_edit->text() != text)
        m_edit->setText(text);
}

void DbDateEdit::applyReadOnly(bool readOnly)
{
    m_edit->setReadOnly(readOnly);
    m_button->setEnabled(!readOnly);
}

void DbDateEdit::applyBoxColour(const QColor& colour)
{
    QPalette p = m_edit->palette();
    p.setColor(QPalette::Base, colour);
    m_edit->setPalette(p);
}

bool DbDateEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && hasWaitingText()) {
            refresh();
            return true;
        }
        if ((key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier) ||
            key->key() == Qt::Key_F4) {
            showCalendar();
            return true;
        }
        if (isEditingKey(key) && !beginChange())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DbDateEdit::onTextEdited(const QString& text)
{
    textTyped(text);
}

void DbDateEdit::onEditingFinished()
{
    typingFinished(m_edit->text());
}

void DbDateEdit::showCalendar()
{
    if (!isEditable())
        return;
    if (!m_popup) {
        m_popup = new QWidget(this, Qt::Popup);
        auto* layout = new QHBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_calendar = new QCalendarWidget(m_popup);
        m_calendar->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        m_calendar->setFirstDayOfWeek(Qt::Monday);
        m_calendar->setGridVisible(true);
        m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        layout->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::clicked, this, &DbDateEdit::onPicked);
        connect(m_calendar, &QCalendarWidget::activated, this, &DbDateEdit::onPicked);
    }
    const QDate current = date();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_popup->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + m_popup->height() > area.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - m_popup->height());
        at.setX(std::min(at.x(), area.right() - m_popup->width()));
    }
    m_popup->move(at);
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void DbDateEdit::onPicked(const QDate& date)
{
    if (m_popup)
        m_popup->hide();
    if (date.isValid() && date != this->date())
        writeValue(date);
    refresh();
    m_edit->setFocus(Qt::PopupFocusReason);
}

} // namespace widgets
