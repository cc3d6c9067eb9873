// The Supported IWADs dialog (IDD_SUPPORTED_IWADS): every release of the catalogue, filtered by
// game, with the selected release's id, digest and flags. It only reads the catalogue.
#pragma once

#include <windows.h>

namespace tvl {

// Runs the dialog modally, owned by `owner`. The result is 1 after Close, 0 after Escape or the
// title bar's close box, and -1 when it could not be created.
INT_PTR ShowSupportedIwadsDialog(HWND owner);

INT_PTR CALLBACK SupportedIwadsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Refills the release list with the releases of the filter's game, or all of them for "(all)",
// in catalogue order, with no selection, scrolling sideways as far as the widest title. The
// details stay as they are.
void FillSupportedList(HWND dialog);

// Shows the id, digest and flags of the selected release; nothing when none is selected.
void ShowSupportedDetails(HWND dialog);

}  // namespace tvl
