// What assistive technology and the system's colour settings need from the dialogs: names for
// controls that screen readers would otherwise misname, and the query for high contrast.
#pragma once

#include <windows.h>

#include <oleacc.h>

namespace tvl {

// True when the system runs in high-contrast mode, or when that cannot be told.
bool IsHighContrast();

// Where the accessibility property service comes from: oleacc's own (CLSID_AccPropServices)
// unless a test has put a recorder in its place. Returns a new reference, or null.
using AccPropServicesSource = IAccPropServices* (*)();
AccPropServicesSource& AccessibilityServices();

// Gives `control` the name screen readers announce for it, in place of the one they guess from
// the static text before it in the tab order. The control holds the name until it is destroyed.
// False when the system's service cannot be had or refuses the name; the control is unchanged.
// Needs COM on the calling thread.
bool SetAccessibleName(HWND control, const wchar_t* name);

}  // namespace tvl
