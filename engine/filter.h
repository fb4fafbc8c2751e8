#pragma once

#include "dialect.h"
#include "types.h"

#include <QVariantList>
#include <functional>

namespace kdb {

// The filter language of the datasets:
//   filter     := orExpr
//   orExpr     := andExpr { "or" andExpr }
//   andExpr    := notExpr { "and" notExpr }          (keywords in any letter case)
//   notExpr    := [ "not" ] primary
//   primary    := "(" orExpr ")" | comparison
//   comparison := field op value | value op field
//   op         := "=" | "<>" | "<" | ">" | "<=" | ">="
//   value      := number | 'text' | "text" | Null | True | False
// Examples: Nb=1, keyn=1, arch=0, TabNo=Null, (sfr=1) and (grp=2),
// (arch=false) and (Oklmin< 5000) And (DatBd>='01.01.1980').
// Values are converted by the field's type: a date field takes '01.01.1980' (day.month.year,
// zero-padded or not), a boolean or integer field takes True/False as 1/0, "= Null" and
// "<> Null" test for an empty field. Values never enter the SQL text: they are bound.
struct CompiledFilter {
    QString where;       // store SQL for a WHERE clause, empty for an empty filter text
    QVariantList params; // values for the ? placeholders of where, in order
};

// Resolves a field name written in any letter case; null when the dataset has no such field.
using FieldResolver = std::function<const FieldDef*(const QString& name)>;

// Throws Error (Syntax for a malformed text, NotFound for an unknown field) naming the filter.
CompiledFilter compileFilter(const QString& text, const FieldResolver& resolve,
                             const Dialect& dialect = Dialect::sqlite());

} // namespace kdb
