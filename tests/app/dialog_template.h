// A dialog template as the program carries it (DLGTEMPLATEEX and its items), for checking the
// layouts against their tables.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvl::testing {

struct TemplateItem {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::wstring class_name;  // upper case: "BUTTON", "STATIC"
  std::wstring text;        // a text, or a resource ordinal as "#number"
  DWORD ex_style = 0;

  bool operator==(const TemplateItem&) const = default;
};

struct DialogTemplate {
  DWORD style = 0;
  short x = 0, y = 0;
  std::wstring title;
  WORD point_size = 0;
  std::wstring font;
  std::vector<TemplateItem> items;
};

// The template of dialog `id` in this program, in `language` (by default the one the system
// would pick); empty (no items, no title) if it is missing.
DialogTemplate LoadDialogTemplate(int id,
                                  LANGID language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));

inline constexpr wchar_t kButtonClass[] = L"BUTTON";
inline constexpr wchar_t kEditClass[] = L"EDIT";
inline constexpr wchar_t kStaticClass[] = L"STATIC";
inline constexpr wchar_t kListBoxClass[] = L"LISTBOX";
inline constexpr wchar_t kComboBoxClass[] = L"COMBOBOX";

}  // namespace tvl::testing
