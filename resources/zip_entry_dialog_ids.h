// The dialog that asks which WAD file of a zip archive to open (IDD_ZIP_ENTRY) and its controls.
#pragma once

#define IDD_ZIP_ENTRY 107

#define IDC_ZIP_ENTRY_PROMPT 1021
#define IDC_ZIP_ENTRY_LIST 1022
