// Identifiers of the program's resources, shared by the resource scripts and the code.
#pragma once

#define IDD_MAIN_WINDOW 101
#define IDI_PROGRAM 104

// The version resource's numbers and text (TVL_VERSION_NUMBERS, TVL_VERSION_TEXT); the fourth
// number is the build's revision.
#include "tvl_version.h"
