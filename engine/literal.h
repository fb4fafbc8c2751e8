#pragma once

#include <QString>

namespace kdb {

// Writes a text as a string literal of Local SQL and of the dataset filters: 'text', each quote
// inside doubled, so that whatever was typed (Д'Артаньян, x' or '1'='1) stays one value and
// can never end the literal and add to the condition. For a window that must put a typed value
// into a query line or a filter text; a query's own values are better given as parameters
// (Query::setParam), which never enter the text at all.
//
// A text of the shape day.month.year ('15.03.1985') is read by Local SQL as a date, and a
// filter converts a value by its field's type, so a date for a date field is written the same
// way: textLiteral(date.toString("dd.MM.yyyy")).
QString textLiteral(const QString& text);

} // namespace kdb
