#pragma once

#include <QIcon>

namespace kadrol {

// The toolbar glyphs of the main window, drawn in the program's colours so that every button
// has a picture of the same size and weight on any desktop theme.
enum class Glyph { Candidates, Requests, Library, Catalog, Analysis, Service, About, Exit };
QIcon glyph(Glyph which);

} // namespace kadrol
