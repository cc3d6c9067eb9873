#include "app/target_list.h"

#include <string>

#include "app/patch_availability.h"
#include "app/program.h"
#include "catalogue/routes.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "ui/list_box_width.h"

namespace tvl {
namespace {

void AddLine(HWND list, const wchar_t* text, LRESULT item_data) {
  LRESULT position = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (position >= 0) SendMessageW(list, LB_SETITEMDATA, position, item_data);
}

}  // namespace

void ResetTargetList(HWND window) {
  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  // A line's item data is 0 unless set, and 0 is a catalogue index: mark the prompt explicitly.
  AddLine(list, kTargetPromptText, kNoRelease);
}

void FillTargetList(HWND window) {
  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  if (!CurrentIwad) {
    EnableWindow(list, FALSE);
    return;
  }
  TargetList targets = BuildTargetList(*CurrentIwad);
  for (const TargetItem& item : targets.items) {
    std::wstring text = AsWide(item.text.c_str());
    if (item.item_data && !MissingPatchOf(CurrentIwad->index, *item.item_data).empty()) {
      text += kPatchMissingMark;
    }
    AddLine(list, text.c_str(), item.item_data ? *item.item_data : kNoRelease);
  }
  // The longest titles with their " (patch missing)" mark are wider than the list.
  FitHorizontalExtent(list);
  EnableWindow(list, targets.enabled);
}

int SelectedTarget(HWND window) {
  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return -1;
  LRESULT data = SendMessageW(list, LB_GETITEMDATA, selected, 0);
  return (data >= 0 && data < kIwadCount) ? static_cast<int>(data) : -1;
}

void UpdatePatchButton(HWND window) {
  int target = SelectedTarget(window);
  bool enable = target >= 0 && CurrentIwad && CanPatch(*CurrentIwad, GetIwad(target));
  EnableWindow(GetDlgItem(window, IDC_PATCH), enable);
}

}  // namespace tvl
