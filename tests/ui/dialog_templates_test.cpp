// The program's dialog templates as a user meets them: every control's kind, text and whether
// it is shown, enabled and reached with Tab, in tab order; and, for every dialog the program
// carries, what goes wrong with a layout: a control outside its dialog, two on top of each other,
// a text that doesn't fit its control.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "resources/about_dialog_ids.h"
#include "resources/find_iwads_dialog_ids.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "resources/supported_dialog_ids.h"
#include "resources/zip_entry_dialog_ids.h"
#include "tests/app/dialog_template.h"

namespace tvl::testing {
namespace {

struct Control {
  int id;
  const wchar_t* class_name;
  const wchar_t* text;
  DWORD style;  // only the bits Seen() keeps
};

struct Dialog {
  int id;
  const wchar_t* title;
  std::vector<Control> controls;
};

// What changes what the user sees or reaches: shown, disabled, a Tab stop, and the kind of
// control (a check box or a push button, a text or an icon, a drop-down list).
DWORD Seen(const std::wstring& class_name, DWORD style) {
  DWORD kind = 0;
  if (class_name == kButtonClass) kind = BS_TYPEMASK;
  if (class_name == kStaticClass) kind = SS_TYPEMASK;
  if (class_name == kComboBoxClass) kind = CBS_DROPDOWNLIST;
  return style & (WS_VISIBLE | WS_DISABLED | WS_TABSTOP | kind);
}

constexpr DWORD kShown = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr wchar_t kLink[] = L"https://tarvelline.org";
constexpr wchar_t kPrompt[] = L"Select an IWAD to view its information";

const Dialog kDialogs[] = {
    {IDD_MAIN_WINDOW,
     L"Tarvelline",
     {
         {IDC_PATCH, kButtonClass, L"Patch!", kTab | BS_DEFPUSHBUTTON},
         {-1, kStaticClass, L"Select your input IWAD (or drag and drop):", kText},
         {IDC_INPUT_PATH, kEditClass, L"", kTab},
         {IDC_BROWSE, kButtonClass, L"...", kTab | BS_PUSHBUTTON},
         {IDC_FIND_IWADS, kButtonClass, L"Find IWADs...", kTab | BS_PUSHBUTTON},
         {-1, kStaticClass, L"Select the version you wish to patch it to:", kText},
         {IDC_RELEASE_LABEL, kStaticClass, L"Selected IWAD", kText},
         {IDC_TARGET_LIST, kListBoxClass, L"", kTab},
         {IDC_IN_PLACE, kButtonClass, L"Patch in-place (overwrite original file)",
          kTab | BS_AUTOCHECKBOX},
         // Shown only after a stopped conversion.
         {IDC_RUN_STATUS, kStaticClass, L"", SS_LEFT},
     }},
    {IDD_ABOUT,
     L"About",
     {
         {IDOK, kButtonClass, L"Close", kTab | BS_DEFPUSHBUTTON},
         {IDC_ABOUT_ICON, kStaticClass, L"#104", kShown | SS_ICON},
         {IDC_ABOUT_TITLE, kStaticClass, L"Static", kText},
         {IDC_ABOUT_BUILD, kStaticClass, L"Static", kText},
         {IDC_ABOUT_COPYRIGHT, kStaticClass, L"Copyright (C) 2026 The Tarvelline developers",
          kText},
         {-1, kStaticClass, L"See bundled README file for additional credits.", kText},
         {IDC_ABOUT_LINK, kStaticClass, kLink, kText},
         {IDC_ABOUT_REVISION, kStaticClass, L"Static", kText | WS_DISABLED},
     }},
    {IDD_SUPPORTED_IWADS,
     L"Supported IWADs",
     {
         {IDOK, kButtonClass, L"Close", kTab | BS_DEFPUSHBUTTON},
         {IDC_SUPPORTED_FILTER, kComboBoxClass, L"", kTab | CBS_DROPDOWNLIST},
         {IDC_SUPPORTED_LIST, kListBoxClass, L"", kTab},
         {IDC_SUPPORTED_RELEASE_ID, kStaticClass, kPrompt, kText},
         {IDC_SUPPORTED_DIGEST, kStaticClass, L"", kText},
         {IDC_SUPPORTED_BASE, kButtonClass, L"Base", kShown | BS_AUTOCHECKBOX},
         {IDC_SUPPORTED_NO_PATCH, kButtonClass, L"No Patch", kShown | BS_AUTOCHECKBOX},
     }},
    {IDD_ZIP_ENTRY,
     L"Choose an IWAD",
     {
         {IDC_ZIP_ENTRY_PROMPT, kStaticClass, L"", kText},
         {IDC_ZIP_ENTRY_LIST, kListBoxClass, L"", kTab},
         {IDOK, kButtonClass, L"OK", kTab | BS_DEFPUSHBUTTON},
         {IDCANCEL, kButtonClass, L"Cancel", kTab | BS_PUSHBUTTON},
     }},
    {IDD_FIND_IWADS,
     L"Find IWADs",
     {
         {IDC_FIND_IWADS_STATUS, kStaticClass, L"", kText},
         {IDC_FIND_IWADS_LIST_LABEL, kStaticClass, L"Files found:", kText},
         {IDC_FIND_IWADS_LIST, L"SYSLISTVIEW32", L"", kTab},
         {IDOK, kButtonClass, L"Open", kTab | BS_DEFPUSHBUTTON},
         {IDC_FIND_IWADS_ADD_FOLDER, kButtonClass, L"Add folder...", kTab | BS_PUSHBUTTON},
         {IDC_FIND_IWADS_STOP, kButtonClass, L"Stop", kTab | BS_PUSHBUTTON},
         {IDCANCEL, kButtonClass, L"Close", kTab | BS_PUSHBUTTON},
     }},
};

TEST(DialogTemplatesTest, EachDialogShowsItsControlsInTabOrder) {
  for (const Dialog& want : kDialogs) {
    SCOPED_TRACE(::testing::Message() << "dialog " << want.id);
    const DialogTemplate got =
        LoadDialogTemplate(want.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
    ASSERT_FALSE(got.items.empty()) << "missing in English (United Kingdom)";
    EXPECT_EQ(got.title, want.title);
    // The system's dialog font, at the size every layout below is measured in.
    EXPECT_EQ(got.style & DS_SHELLFONT, DWORD{DS_SHELLFONT});
    EXPECT_EQ(got.font, L"MS Shell Dlg");
    EXPECT_EQ(got.point_size, 8);
    EXPECT_EQ(got.style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              DWORD{WS_CAPTION | WS_SYSMENU | DS_MODALFRAME});

    ASSERT_EQ(got.items.size(), want.controls.size());
    for (size_t i = 0; i < want.controls.size(); ++i) {
      const Control& c = want.controls[i];
      const TemplateItem& item = got.items[i];
      SCOPED_TRACE(::testing::Message() << "control " << i << " (id " << c.id << ")");
      EXPECT_EQ(item.id, c.id);
      EXPECT_EQ(item.class_name, c.class_name);
      EXPECT_EQ(item.text, c.text);
      EXPECT_EQ(Seen(item.class_name, item.style), c.style) << std::hex << item.style;
    }
  }
}

BOOL CALLBACK AddDialogId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<int>*>(ids)->push_back(
        static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

// Every dialog this program carries, by its resource id, so a new one is checked without a row.
std::vector<int> AllDialogIds() {
  std::vector<int> ids;
  EnumResourceNamesW(nullptr, RT_DIALOG, AddDialogId, reinterpret_cast<LONG_PTR>(&ids));
  return ids;
}

INT_PTR CALLBACK InertDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring ClassOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return name;
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The room `text` takes in `control`'s font, laid out as the control lays it out: wrapped at the
// control's width for a text, on one line for a button. An empty rectangle when it has no text to
// measure.
RECT TextRoom(HWND control, const std::wstring& text, UINT format, int width) {
  RECT room = {0, 0, width, 0};
  if (text.empty()) return room;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &room, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return room;
}

// Whether `text` fits `control`, whose kind (a text, a push button, a check box) says how it is
// laid out. True for controls with no text of their own to fit (lists, edits, icons).
::testing::AssertionResult TextFits(HWND control, const std::wstring& text) {
  RECT box;
  GetClientRect(control, &box);
  const std::wstring kind = ClassOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  RECT room = {};
  int width = box.right;
  if (_wcsicmp(kind.c_str(), kStaticClass) == 0) {
    if ((style & SS_TYPEMASK) > SS_RIGHT) return ::testing::AssertionSuccess();  // icons, frames
    room = TextRoom(control, text, DT_WORDBREAK | DT_NOPREFIX, width);
  } else if (_wcsicmp(kind.c_str(), kButtonClass) == 0) {
    const LONG type = style & BS_TYPEMASK;
    const bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                       type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
    // A check box's mark and the gap after it; a push button's edges.
    width -= check ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 2 * GetSystemMetrics(SM_CXEDGE) + 4;
    room = TextRoom(control, text, DT_SINGLELINE, width);
  } else {
    return ::testing::AssertionSuccess();
  }
  if (room.right <= width && room.bottom <= box.bottom) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "\"" << ::testing::PrintToString(text) << "\" needs " << room.right << "x"
         << room.bottom << " pixels; it has " << width << "x" << box.bottom;
}

RECT PlaceIn(HWND dialog, HWND control) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

std::vector<HWND> ShownControls(HWND dialog) {
  std::vector<HWND> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) controls.push_back(child);
  }
  return controls;
}

TEST(DialogTemplatesTest, EveryControlIsInsideItsDialogClearOfTheOthersAndFitsItsText) {
  const std::vector<int> ids = AllDialogIds();
  ASSERT_GE(ids.size(), std::size(kDialogs));
  for (const int id : ids) {
    SCOPED_TRACE(::testing::Message() << "dialog " << id);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                                     InertDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<HWND> controls = ShownControls(dialog);
    for (size_t i = 0; i < controls.size(); ++i) {
      const RECT place = PlaceIn(dialog, controls[i]);
      SCOPED_TRACE(::testing::Message() << "control " << GetDlgCtrlID(controls[i]) << " \""
                                        << ::testing::PrintToString(TextOf(controls[i])) << "\"");
      EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= client.right &&
                  place.bottom <= client.bottom)
          << "at " << place.left << "," << place.top << "-" << place.right << "," << place.bottom
          << " in " << client.right << "x" << client.bottom;
      for (size_t j = i + 1; j < controls.size(); ++j) {
        const RECT other = PlaceIn(dialog, controls[j]);
        RECT both;
        EXPECT_FALSE(IntersectRect(&both, &place, &other))
            << "overlaps control " << GetDlgCtrlID(controls[j]);
      }
      EXPECT_TRUE(TextFits(controls[i], TextOf(controls[i])));
    }
    DestroyWindow(dialog);
  }
}

// Texts the program puts in its controls while it runs, against the controls they go in.
TEST(DialogTemplatesTest, TextsSetWhileRunningFitTheirControls) {
  struct Row {
    int dialog, control;
    std::wstring text;
  };
  std::vector<Row> rows = {
      {IDD_MAIN_WINDOW, IDC_IN_PLACE, L"Patch in-place (not for a zip archive)"},
      {IDD_MAIN_WINDOW, IDC_PATCH, L"Stop"},
      {IDD_MAIN_WINDOW, IDC_RUN_STATUS, L"Stopped: nothing was written"}};
  // Every release's title where the window names what it identified, and its id and digest in
  // the Supported IWADs details.
  auto wide = [](std::u16string_view text) { return std::wstring(text.begin(), text.end()); };
  for (const IwadRecord& release : IwadCatalogue) {
    rows.push_back({IDD_MAIN_WINDOW, IDC_RELEASE_LABEL, wide(release.title)});
    rows.push_back({IDD_SUPPORTED_IWADS, IDC_SUPPORTED_RELEASE_ID, wide(FormatReleaseId(release))});
    rows.push_back(
        {IDD_SUPPORTED_IWADS, IDC_SUPPORTED_DIGEST,
         std::wstring(release.sha1_hex, release.sha1_hex + std::strlen(release.sha1_hex))});
  }
  std::map<int, HWND> dialogs;
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "dialog " << row.dialog << ", control " << row.control);
    HWND& dialog = dialogs[row.dialog];
    if (!dialog) {
      dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(row.dialog), nullptr,
                                  InertDialogProc, 0);
    }
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(TextFits(GetDlgItem(dialog, row.control), row.text));
  }
  for (const auto& [id, dialog] : dialogs) DestroyWindow(dialog);
}

}  // namespace
}  // namespace tvl::testing
