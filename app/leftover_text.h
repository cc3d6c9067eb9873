// What the user is told when a run that ended midway had left files that were kept.
#pragma once

#include <string>

#include "patching/leftovers.h"

namespace tvl {

// One line per kept file, under a line saying what happened; empty when nothing was kept.
std::wstring LeftoverText(const LeftoverReport& report);

}  // namespace tvl
