// Sideways scrolling for list boxes whose lines may be wider than the box.
#pragma once

#include <windows.h>

namespace tvl {

// A list box scrolls sideways only as far as it is told: as far as its widest line, measured in
// its own font, with a little room for the focus rectangle. Call after filling the list; the box
// needs WS_HSCROLL for the bar to show.
void FitHorizontalExtent(HWND list);

}  // namespace tvl
