#include "app/identify_step.h"

#include <string>

#include "app/failure_text.h"
#include "app/program.h"
#include "app/target_list.h"
#include "app/ui_calls.h"
#include "app/wait_cursor.h"
#include "catalogue/identify.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"

namespace tvl {
namespace {

// Disabling the control that has the keyboard focus leaves the keyboard with nowhere to go;
// hand the focus to the browse button, which is always enabled. `focus` is the focus from before
// the change, since disabling may already have taken it away.
void KeepFocusUsable(HWND window, HWND focus) {
  if (focus && IsChild(window, focus) && !IsWindowEnabled(focus)) {
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_BROWSE)),
                 TRUE);
  }
}

}  // namespace

Path ReadInputPath(HWND window) {
  HWND input = GetDlgItem(window, IDC_INPUT_PATH);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(input)), L'\0');
  if (!text.empty()) {
    int got = GetWindowTextW(input, text.data(), static_cast<int>(text.size()) + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  return Path(text);
}

bool IsInPlaceChecked(HWND window) {
  return SendMessageW(GetDlgItem(window, IDC_IN_PLACE), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IdentifyInputFile(HWND window) {
  WaitCursor wait;
  // Hashes the whole file here, on the user-interface thread.
  const Path path = ReadInputPath(window);
  FileDigest digest = Sha1OfFile(path);
  const std::string sha1 = FormatDigest(digest.bytes);
  const int index = digest.complete ? FindIwadByDigest(sha1) : -1;

  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  HWND focus = GetFocus();
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  EnableWindow(list, FALSE);
  EnableWindow(GetDlgItem(window, IDC_PATCH), FALSE);
  KeepFocusUsable(window, focus);
  SetDlgItemTextW(window, IDC_RELEASE_LABEL, L"");
  ResetTargetList(window);

  if (index < 0) {
    CurrentIwad = nullptr;
    // The digest lets users report a release we lack; of an unreadable file it means nothing.
    std::wstring text = std::wstring(kIdentifyFailedText) + L"\n" +
                        UnknownFileReason(path, digest.complete ? sha1 : std::string());
    Ui().message_box(window, text.c_str(), L"Error", MB_ICONERROR | MB_OK);
    return false;
  }
  CurrentIwad = &GetIwad(index);
  FillTargetList(window);
  SetDlgItemTextW(window, IDC_RELEASE_LABEL, AsWide(CurrentIwad->title));
  return true;
}

}  // namespace tvl
