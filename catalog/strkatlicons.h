#pragma once

#include <QIcon>

namespace kadrol {

// The four pictures of the catalog tree, one per level: 1 the root and the spheres (a globe),
// 2 groups (a folder), 3 directions (a signpost), 4 specialities (a badge with a person).
// Drawn in the program's colours so that they read alike on any desktop theme.
QIcon catalogIcon(int level);

} // namespace kadrol
