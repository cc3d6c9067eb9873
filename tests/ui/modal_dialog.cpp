#include "tests/ui/modal_dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace tvl::testing {
namespace {

struct ModalRun {
  const wchar_t* title;
  std::vector<DialogStep> steps;
  size_t next = 0;
  unsigned ticks = 0;
};
ModalRun* g_run = nullptr;

constexpr unsigned kTickMs = 50;
constexpr unsigned kMaxTicks = 200;  // ten seconds

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
  ModalRun& run = *g_run;
  ++run.ticks;
  HWND dialog = FindThreadDialog(run.title);
  if (!dialog) return;
  if (run.next < run.steps.size()) {
    // The step may pump messages (and so this timer) itself.
    DialogStep step = run.steps[run.next++];
    step(dialog);
  } else if (run.ticks > kMaxTicks) {
    EndDialog(dialog, kModalTimedOut);
  }
}

}  // namespace

INT_PTR RunModalDialog(const wchar_t* title, const std::function<INT_PTR()>& show,
                       std::vector<DialogStep> steps) {
  ModalRun run{title, std::move(steps)};
  g_run = &run;
  UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, OnTick);
  INT_PTR result = show();
  KillTimer(nullptr, timer);
  g_run = nullptr;
  EXPECT_EQ(run.next, run.steps.size()) << "the dialog ended before every step ran";
  return result;
}

void PressKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  HWND target = focus && IsChild(dialog, focus) ? focus : dialog;
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

}  // namespace tvl::testing
