#include "ui/supported_dialog.h"

#include <cwchar>
#include <string>

#include "catalogue/catalogue.h"
#include "platform/wide_text.h"
#include "resources/supported_dialog_ids.h"
#include "ui/accessibility.h"
#include "ui/list_box_width.h"

namespace tvl {
namespace {

constexpr wchar_t kAllGames[] = L"(all)";
constexpr size_t kFilterSize = 64;
constexpr size_t kReleaseIdSize = 32;
constexpr size_t kDigestSize = 41;
// The filter and the list have no labels of their own to be announced by.
constexpr wchar_t kFilterName[] = L"Game";
constexpr wchar_t kListName[] = L"Releases";

void FillFilter(HWND dialog) {
  HWND filter = GetDlgItem(dialog, IDC_SUPPORTED_FILTER);
  SendMessageW(filter, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAllGames));
  // Each game once, where it first appears. The look-up ignores case.
  for (const IwadRecord& record : IwadCatalogue) {
    LPARAM game = reinterpret_cast<LPARAM>(AsWide(record.game_id));
    if (SendMessageW(filter, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), game) == CB_ERR) {
      SendMessageW(filter, CB_ADDSTRING, 0, game);
    }
  }
  SendMessageW(filter, CB_SETCURSEL, 0, 0);
}

void SetCheck(HWND dialog, int id, bool checked) {
  SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// An automatic check box has toggled itself by the time its click arrives; toggling it back
// keeps it showing the release's flag.
void PutBackCheck(HWND dialog, int id) {
  bool checked = SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SetCheck(dialog, id, !checked);
}

}  // namespace

INT_PTR ShowSupportedIwadsDialog(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SUPPORTED_IWADS), owner,
                         SupportedIwadsDialogProc, 0);
}

void FillSupportedList(HWND dialog) {
  wchar_t game[kFilterSize] = {};
  GetDlgItemTextW(dialog, IDC_SUPPORTED_FILTER, game, kFilterSize);
  bool all = std::wcscmp(game, kAllGames) == 0;
  HWND list = GetDlgItem(dialog, IDC_SUPPORTED_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& record = IwadCatalogue[i];
    if (!all && std::wcscmp(game, AsWide(record.game_id)) != 0) continue;
    LRESULT line =
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(record.title)));
    if (line >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(line), i);
  }
  FitHorizontalExtent(list);
}

void ShowSupportedDetails(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_SUPPORTED_LIST);
  LRESULT line = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (line == LB_ERR) return;
  LRESULT index = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
  if (index < 0 || index >= kIwadCount) return;
  const IwadRecord& record = IwadCatalogue[index];

  wchar_t release_id[kReleaseIdSize] = {};
  std::swprintf(release_id, kReleaseIdSize, L"%ls_%ls", AsWide(record.game_id),
                AsWide(record.version_id));
  SetDlgItemTextW(dialog, IDC_SUPPORTED_RELEASE_ID, release_id);

  // The digest is ASCII; widen it as it is.
  wchar_t digest[kDigestSize] = {};
  for (size_t i = 0; i + 1 < kDigestSize && record.sha1_hex[i] != '\0'; ++i) {
    digest[i] = static_cast<unsigned char>(record.sha1_hex[i]);
  }
  SetDlgItemTextW(dialog, IDC_SUPPORTED_DIGEST, digest);

  SetCheck(dialog, IDC_SUPPORTED_BASE, (record.flags & kIwadBase) != 0);
  SetCheck(dialog, IDC_SUPPORTED_NO_PATCH, (record.flags & kIwadNoPatch) != 0);
}

INT_PTR CALLBACK SupportedIwadsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetAccessibleName(GetDlgItem(dialog, IDC_SUPPORTED_FILTER), kFilterName);
      SetAccessibleName(GetDlgItem(dialog, IDC_SUPPORTED_LIST), kListName);
      FillFilter(dialog);
      FillSupportedList(dialog);
      return TRUE;

    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          EndDialog(dialog, 1);
          break;
        case IDCANCEL:
          // Escape, like the close box.
          EndDialog(dialog, 0);
          break;
        case IDC_SUPPORTED_FILTER:
          if (HIWORD(wparam) == CBN_SELCHANGE) FillSupportedList(dialog);
          break;
        case IDC_SUPPORTED_LIST:
          if (HIWORD(wparam) == LBN_SELCHANGE) ShowSupportedDetails(dialog);
          break;
        case IDC_SUPPORTED_BASE:
        case IDC_SUPPORTED_NO_PATCH:
          if (HIWORD(wparam) == BN_CLICKED) PutBackCheck(dialog, LOWORD(wparam));
          break;
        default:
          break;
      }
      return TRUE;

    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;

    default:
      return FALSE;
  }
}

}  // namespace tvl
