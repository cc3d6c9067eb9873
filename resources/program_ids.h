// Identifiers of the program's resources, shared by the resource scripts and the code.
#pragma once

#define IDD_MAIN_WINDOW 101
#define IDI_PROGRAM 104

// Version resource: 1.4.1.90. The fourth number is the build's revision.
#define TVL_VERSION_NUMBERS 1, 4, 1, 90
#define TVL_VERSION_TEXT "1.4.1.90"
