// Pictures of the dialogs for people to look at: under Wine, the X display's contents where the
// window is, taken with ImageMagick's import. Nothing happens elsewhere.
#pragma once

#include <windows.h>

#include <string>

namespace tvl::testing {

bool UnderWine();

// Saves the screen area of `window` as the PNG file `name` in the working folder (the test's
// build folder). Fails the test if no picture appears.
void SaveScreenshot(HWND window, const std::wstring& name);

}  // namespace tvl::testing
