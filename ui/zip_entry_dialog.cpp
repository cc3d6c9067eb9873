#include "ui/zip_entry_dialog.h"

#include "resources/zip_entry_dialog_ids.h"
#include "ui/accessibility.h"
#include "ui/list_box_width.h"

namespace tvl {
namespace {

// A name longer than this keeps its start and its end in the prompt, which has two lines.
constexpr size_t kPromptNameLength = 40;

ZipEntryChoice* ChoiceOf(HWND dialog) {
  return reinterpret_cast<ZipEntryChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

std::wstring ShortName(const std::wstring& name) {
  if (name.size() <= kPromptNameLength) return name;
  const size_t half = (kPromptNameLength - 3) / 2;
  return name.substr(0, half) + L"..." + name.substr(name.size() - half);
}

void OnInitDialog(HWND dialog, ZipEntryChoice* choice) {
  if (!choice) return;
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(choice));
  const std::wstring name = ShortName(choice->archive_name);
  SetDlgItemTextW(dialog, IDC_ZIP_ENTRY_PROMPT,
                  (name + L" holds more than one WAD file. Choose the one to open:").c_str());
  HWND list = GetDlgItem(dialog, IDC_ZIP_ENTRY_LIST);
  for (const std::wstring& entry : choice->entries) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  // The first is chosen unless the user moves on: Enter alone opens it.
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  // Entry names may be long paths inside the archive: the list scrolls sideways to show them.
  FitHorizontalExtent(list);
  // The prompt before the list is long, and names the archive only in part.
  SetAccessibleName(list, (L"WAD files in " + choice->archive_name).c_str());
}

// OK, Enter or a double click: the selected line, if there is one.
void Choose(HWND dialog) {
  const LRESULT line = SendDlgItemMessageW(dialog, IDC_ZIP_ENTRY_LIST, LB_GETCURSEL, 0, 0);
  ZipEntryChoice* choice = ChoiceOf(dialog);
  if (line == LB_ERR || !choice || line >= static_cast<LRESULT>(choice->entries.size())) return;
  choice->chosen = static_cast<int>(line);
  EndDialog(dialog, IDOK);
}

}  // namespace

int ShowZipEntryDialog(HWND owner, const std::wstring& archive_name,
                       const std::vector<std::wstring>& entries) {
  ZipEntryChoice choice{archive_name, entries};
  const INT_PTR result =
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ZIP_ENTRY), owner,
                      ZipEntryDialogProc, reinterpret_cast<LPARAM>(&choice));
  return result == IDOK ? choice.chosen : -1;
}

INT_PTR CALLBACK ZipEntryDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, reinterpret_cast<ZipEntryChoice*>(lparam));
      return TRUE;

    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          Choose(dialog);
          break;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          break;
        case IDC_ZIP_ENTRY_LIST:
          if (HIWORD(wparam) == LBN_DBLCLK) Choose(dialog);
          break;
        default:
          break;
      }
      return TRUE;

    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;

    default:
      return FALSE;
  }
}

}  // namespace tvl
