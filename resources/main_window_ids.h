// Controls of the main window (dialog IDD_MAIN_WINDOW) and its system-menu commands.
#pragma once

#define IDC_PATCH 1001
#define IDC_INPUT_PATH 1002
#define IDC_BROWSE 1003
#define IDC_RELEASE_LABEL 1005
#define IDC_TARGET_LIST 1006
#define IDC_IN_PLACE 1007
#define IDC_FIND_IWADS 1105
// How the last conversion ended when the window says so (a stop); hidden otherwise.
#define IDC_RUN_STATUS 1150

// Appended to the window's system menu.
#define IDM_ABOUT 1001
#define IDM_SUPPORTED_IWADS 1002
#define IDM_FIND_IWADS 1003
