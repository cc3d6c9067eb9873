// The About dialog (IDD_ABOUT): name and version, build stamp, copyright, the project's web
// address as a link, and the build's revision, over a white header band.
#pragma once

#include <windows.h>

#include "ui/accessibility.h"

namespace tvl {

// The shell call that opens the link: ShellExecuteW unless a test has put a recorder in its place.
using ShellExecuteCall = HINSTANCE(WINAPI*)(HWND owner, LPCWSTR verb, LPCWSTR file,
                                            LPCWSTR parameters, LPCWSTR directory, INT show);
ShellExecuteCall& LinkOpener();

// Runs the dialog modally, owned by `owner`, showing `version` (major.minor.build). The result is
// 1 when a command ended it, 0 when it was closed from its title bar, and -1 when it could not be
// created.
INT_PTR ShowAboutDialog(HWND owner, const wchar_t* version);

// WM_INITDIALOG's parameter is the version text (const wchar_t*).
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Posted to the dialog after a DPI change, once the system has made the dialog's font for the
// new DPI: the title's and the link's fonts are made anew from it.
inline constexpr UINT kAboutRefreshFonts = WM_APP + 1;

// Edges of a control in its dialog's client coordinates.
struct ControlBounds {
  LONG right = 0;
  LONG top = 0;
  LONG bottom = 0;
};
ControlBounds GetControlBounds(HWND dialog, int id);

}  // namespace tvl
