// The program's dialog templates as a user meets them: every control's kind, text, place
// and whether it is shown, enabled and reached with Tab, in tab order.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

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
  short x, y, cx, cy;
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
         {IDC_PATCH, kButtonClass, L"Patch!", 118, 177, 50, 14, kTab | BS_DEFPUSHBUTTON},
         {-1, kStaticClass, L"Select your input IWAD (or drag and drop):", 7, 7, 161, 8, kText},
         {IDC_INPUT_PATH, kEditClass, L"", 7, 16, 80, 14, kTab},
         {IDC_BROWSE, kButtonClass, L"...", 90, 16, 20, 14, kTab | BS_PUSHBUTTON},
         {IDC_FIND_IWADS, kButtonClass, L"Find IWADs...", 113, 16, 55, 14, kTab | BS_PUSHBUTTON},
         {-1, kStaticClass, L"Select the version you wish to patch it to:", 7, 45, 161, 8, kText},
         {IDC_RELEASE_LABEL, kStaticClass, L"Selected IWAD", 7, 31, 161, 8, kText},
         {IDC_TARGET_LIST, kListBoxClass, L"", 7, 54, 161, 103, kTab},
         {IDC_IN_PLACE, kButtonClass, L"Patch in-place (overwrite original file)", 7, 162, 135, 10,
          kTab | BS_AUTOCHECKBOX},
         // Shown only after a stopped conversion, where the progress bar was.
         {IDC_RUN_STATUS, kStaticClass, L"", 7, 180, 107, 8, SS_LEFT},
     }},
    {IDD_ABOUT,
     L"About",
     {
         {IDOK, kButtonClass, L"Close", 142, 68, 50, 14, kTab | BS_DEFPUSHBUTTON},
         {IDC_ABOUT_ICON, kStaticClass, L"#104", 7, 7, 20, 20, kShown | SS_ICON},
         {IDC_ABOUT_TITLE, kStaticClass, L"Static", 36, 5, 156, 8, kText},
         {IDC_ABOUT_BUILD, kStaticClass, L"Static", 36, 15, 156, 8, kText},
         {IDC_ABOUT_COPYRIGHT, kStaticClass, L"Copyright (C) 2026 The Tarvelline developers", 36,
          25, 156, 8, kText},
         {-1, kStaticClass, L"See bundled README file for additional credits.", 36, 44, 156, 8,
          kText},
         {IDC_ABOUT_LINK, kStaticClass, kLink, 36, 54, 156, 8, kText},
         {IDC_ABOUT_REVISION, kStaticClass, L"Static", 7, 74, 55, 8, kText | WS_DISABLED},
     }},
    {IDD_SUPPORTED_IWADS,
     L"Supported IWADs",
     {
         {IDOK, kButtonClass, L"Close", 129, 156, 50, 14, kTab | BS_DEFPUSHBUTTON},
         {IDC_SUPPORTED_FILTER, kComboBoxClass, L"", 7, 7, 172, 30, kTab | CBS_DROPDOWNLIST},
         {IDC_SUPPORTED_LIST, kListBoxClass, L"", 7, 24, 172, 100, kTab},
         {IDC_SUPPORTED_RELEASE_ID, kStaticClass, kPrompt, 7, 126, 172, 8, kText},
         {IDC_SUPPORTED_DIGEST, kStaticClass, L"", 7, 136, 172, 8, kText},
         {IDC_SUPPORTED_BASE, kButtonClass, L"Base", 7, 146, 31, 10, kShown | BS_AUTOCHECKBOX},
         {IDC_SUPPORTED_NO_PATCH, kButtonClass, L"No Patch", 42, 146, 46, 10,
          kShown | BS_AUTOCHECKBOX},
     }},
    {IDD_ZIP_ENTRY,
     L"Choose an IWAD",
     {
         {IDC_ZIP_ENTRY_PROMPT, kStaticClass, L"", 7, 7, 172, 16, kText},
         {IDC_ZIP_ENTRY_LIST, kListBoxClass, L"", 7, 26, 172, 91, kTab},
         {IDOK, kButtonClass, L"OK", 75, 122, 50, 14, kTab | BS_DEFPUSHBUTTON},
         {IDCANCEL, kButtonClass, L"Cancel", 129, 122, 50, 14, kTab | BS_PUSHBUTTON},
     }},
    {IDD_FIND_IWADS,
     L"Find IWADs",
     {
         {IDC_FIND_IWADS_STATUS, kStaticClass, L"", 7, 7, 306, 8, kText},
         {IDC_FIND_IWADS_LIST_LABEL, kStaticClass, L"Files found:", 7, 20, 306, 8, kText},
         {IDC_FIND_IWADS_LIST, L"SYSLISTVIEW32", L"", 7, 30, 306, 139, kTab},
         {IDOK, kButtonClass, L"Open", 7, 175, 50, 14, kTab | BS_DEFPUSHBUTTON},
         {IDC_FIND_IWADS_ADD_FOLDER, kButtonClass, L"Add folder...", 61, 175, 60, 14,
          kTab | BS_PUSHBUTTON},
         {IDC_FIND_IWADS_STOP, kButtonClass, L"Stop", 209, 175, 50, 14, kTab | BS_PUSHBUTTON},
         {IDCANCEL, kButtonClass, L"Close", 263, 175, 50, 14, kTab | BS_PUSHBUTTON},
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
      EXPECT_EQ((std::vector<short>{item.x, item.y, item.cx, item.cy}),
                (std::vector<short>{c.x, c.y, c.cx, c.cy}));
      EXPECT_EQ(Seen(item.class_name, item.style), c.style) << std::hex << item.style;
    }
  }
}

}  // namespace
}  // namespace tvl::testing
