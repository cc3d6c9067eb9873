// The target list (list box IDC_TARGET_LIST) and the enabling of Patch!.
#pragma once

#include <windows.h>

namespace tvl {

// Item data of lines that name no release.
inline constexpr LRESULT kNoRelease = -1;

inline constexpr wchar_t kTargetPromptText[] = L"Select an IWAD with the ... button above";
// After the title of a release whose conversion lacks a patch: it is offered all the same, and
// Patch! says which patch is missing and where patches come from.
inline constexpr wchar_t kPatchMissingMark[] = L" (patch missing)";

// Empties the list and adds the prompt line. The list's enabled state is left alone.
void ResetTargetList(HWND window);

// Fills the list with the releases CurrentIwad can become, each with its catalogue index as item
// data and kPatchMissingMark when a patch of its route is at hand nowhere, and enables the list
// when at least one of them can be patched to.
void FillTargetList(HWND window);

// The catalogue index of the selected target, or -1 when no release is selected.
int SelectedTarget(HWND window);

// Enables Patch! exactly when a target is selected and the conversion may run.
void UpdatePatchButton(HWND window);

}  // namespace tvl
