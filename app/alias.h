#pragma once

#include <QString>

namespace kadrol {

// Registers the alias "kadrol" for this run, on the folder "Data" inside the program folder,
// unless it is defined already (in the alias file): a defined alias is used unchanged.
void registerAlias(const QString& programFolder);

} // namespace kadrol
