// What Patch! does: ask where the result goes, convert on a worker thread while the window shows
// the progress, and report the outcome.
#pragma once

#include <windows.h>

#include <optional>

#include "patching/convert.h"
#include "platform/file.h"

namespace tvl {

// Converts the input file (release CurrentIwad) into the release at `target_index`, into a new
// file chosen in the save dialog or in place of the input. A zip archive's entry is converted
// from its unpacked copy into a new file: the archive is neither written nor replaced. Returns once
// the conversion has started; the window's controls stay disabled until it ends, but for Patch!,
// which reads "Stop" meanwhile, and the outcome is reported then (OnConversionDone). A route with a
// missing patch is reported at once, before anything is asked.
void RunPatchCommand(HWND window, int target_index);

// Whether a conversion runs (from its start until its report has been shown).
bool ConversionRunning();

// What the window's status line says after a confirmed stop: a stopped conversion removes what
// it wrote, and in place the original was never touched.
inline constexpr wchar_t kStoppedText[] = L"Stopped: nothing was written";

// The status line below the target list, where the progress bar is during a conversion: shows
// `text`, or hides it again.
void ShowRunStatus(HWND window, const wchar_t* text);
void ClearRunStatus(HWND window);

// kConversionProgressMessage: moves the progress bar and the taskbar button.
void OnConversionProgress(HWND window, int permille);

// kConversionDoneMessage: gives the window back and reports the outcome. After a conversion that
// replaced the input file the window identifies it again.
void OnConversionDone(HWND window);

// Stop, Escape or the close box while a conversion runs: asks whether to stop it. True when the
// user chose to stop; the conversion then ends at its next window, removing its temporary files.
// `then_close` closes the window once it has ended.
bool OfferToStopConversion(HWND window, bool then_close);

// The window is going: stops any conversion and waits for it, reporting nothing.
void AbandonConversion();

// Where the result goes: the path chosen in the save dialog, or, in place, the input path once
// the user has confirmed. None when the user backs out. The save dialog opens in the input's
// folder and suggests the input's name followed by the target's release id; for a zip archive's
// entry, in the archive's folder with the entry's name, and never in place.
std::optional<Path> ChooseOutputPath(HWND window, int target_index);

// A new empty temporary file in `folder`, named through the UI calls.
Path MakeTempFileName(const Path& folder, FileError* error);

// Shows the message box for a finished conversion, none for a stopped one. `replaces_input` says
// the output was the input file itself; otherwise the success message names the new file.
void ReportConversion(HWND window, const ConvertReport& report, const Path& output,
                      bool replaces_input);

}  // namespace tvl
