#pragma once

#include <QString>
#include <QVariant>

namespace kdb {
class Field;
}

namespace widgets {

// How a data box turns a field's value into the text it edits, and typed text back into a value
// for Field::setValue. Kept apart from the display text: a grouped amount "1 234,50" shows well
// but cannot be typed back, and a date typed through the mask "__.__.____" is empty, not a date.

// The text a box edits: the display text without the group separators of numbers.
QString editTextOf(const kdb::Field& field, const QVariant& value);

// The value to give Field::setValue for a typed text: null for a blank box (also a mask with no
// digit typed), the text with spaces and group separators removed for numbers, with "/" read as
// the date separator for dates, and the text itself for text fields.
QVariant valueFromText(const kdb::Field& field, const QString& text);

// A Qt input mask for the system's edit masks ("!99/99/9999;1;_" gives "00.00.0000;_"); empty
// when the mask is empty.
QString inputMaskFor(const QString& editMask);

} // namespace widgets
