// Runs a modal dialog as the program does, with test steps run one by one from the dialog's own
// message loop.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "tests/app/window_probe.h"

namespace tvl::testing {

using DialogStep = std::function<void(HWND dialog)>;

// Calls `show`, which runs a modal dialog titled `title` on this thread, and gives each step the
// dialog in turn, a short while apart. Returns what `show` returns; a dialog left open after its
// steps is ended with kModalTimedOut. Fails the test if the dialog ends before every step has
// run.
INT_PTR RunModalDialog(const wchar_t* title, const std::function<INT_PTR()>& show,
                       std::vector<DialogStep> steps);

// The keyboard as the user presses it: the dialog's own loop turns it into commands.
void PressKey(HWND dialog, WPARAM key);

}  // namespace tvl::testing
