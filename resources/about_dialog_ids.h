// The About dialog (IDD_ABOUT) and its controls.
#pragma once

#define IDD_ABOUT 105

#define IDC_ABOUT_TITLE 1008
#define IDC_ABOUT_BUILD 1009
#define IDC_ABOUT_ICON 1010
#define IDC_ABOUT_LINK 1011
#define IDC_ABOUT_COPYRIGHT 1019
#define IDC_ABOUT_REVISION 1020
