// Makes any static text control a hyperlink: drawn in the link colour, underlined while the
// pointer is over it, with the hand pointer, reporting clicks to its parent (STN_CLICKED). It is
// a tab stop with a focus rectangle, and Enter or Space reports a click as well. All it needs
// lives in window properties on the control and its parent, and the control undoes every change
// when it is destroyed.
#pragma once

#include <windows.h>

namespace tvl {

inline constexpr COLORREF kLinkColour = RGB(0, 0, 192);

// The colour link text is drawn in: kLinkColour, or in high contrast the system's hot-light
// colour, which the user's scheme chooses to stand out on its background.
COLORREF LinkColour(bool high_contrast);

// Window properties, named after the facility and the role of the value.
inline constexpr wchar_t kHyperlinkOriginalProc[] = L"_Hyperlink_Original_Proc_";
inline constexpr wchar_t kHyperlinkOriginalFont[] = L"_Hyperlink_Original_Font_";
inline constexpr wchar_t kHyperlinkUnderlineFont[] = L"_Hyperlink_Underline_Font_";
inline constexpr wchar_t kHyperlinkFromStatic[] = L"_Hyperlink_From_Static_";

// Turns the static control into a link. Several controls of one parent may be links; the parent
// is subclassed once. A control that is a link already is left as it is. A font given to the
// link later (WM_SETFONT, for a new DPI say) becomes its normal font, and its underlined copy is
// made anew from it.
void AttachHyperlink(HWND control);

// Installed on each link control.
LRESULT CALLBACK HyperlinkProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
// Installed on the parent of the links: colours them.
LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace tvl
