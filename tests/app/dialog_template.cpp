#include "tests/app/dialog_template.h"

#include <cstring>
#include <cwctype>

namespace tvl::testing {
namespace {

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* bytes) : base_(bytes), at_(bytes) {}

  template <typename T>
  T Take() {
    T value;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  // A text, or an ordinal (0xFFFF, then the number) given back as "#number".
  std::wstring NameOrOrdinal() {
    WORD first = Take<WORD>();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Take<WORD>());
    std::wstring text;
    for (WORD c = first; c != 0; c = Take<WORD>()) text += static_cast<wchar_t>(c);
    return text;
  }
  // A window class, by its upper-case name whether the template names it or gives its ordinal.
  std::wstring ClassName() {
    std::wstring name = NameOrOrdinal();
    static const wchar_t* const kOrdinals[] = {L"BUTTON",  L"EDIT",      L"STATIC",
                                               L"LISTBOX", L"SCROLLBAR", L"COMBOBOX"};
    if (name.size() == 4 && name[0] == L'#') {
      int ordinal = std::stoi(name.substr(1));
      if (ordinal >= 0x80 && ordinal <= 0x85) return kOrdinals[ordinal - 0x80];
    }
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    return name;
  }
  void Skip(size_t bytes) { at_ += bytes; }
  void AlignToDword() {
    while ((at_ - base_) % 4 != 0) ++at_;
  }

 private:
  const BYTE* base_;
  const BYTE* at_;
};

}  // namespace

DialogTemplate LoadDialogTemplate(int id, LANGID language) {
  DialogTemplate dialog;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return dialog;
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  if (!bytes) return dialog;
  TemplateReader reader(bytes);
  if (reader.Take<WORD>() != 1 || reader.Take<WORD>() != 0xFFFF) return dialog;  // not EX
  reader.Take<DWORD>();                                                          // help id
  reader.Take<DWORD>();                                                          // extended style
  dialog.style = reader.Take<DWORD>();
  WORD count = reader.Take<WORD>();
  dialog.x = reader.Take<short>();
  dialog.y = reader.Take<short>();
  reader.Take<short>();
  reader.Take<short>();
  reader.NameOrOrdinal();  // menu
  reader.NameOrOrdinal();  // class
  dialog.title = reader.NameOrOrdinal();
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    dialog.point_size = reader.Take<WORD>();
    reader.Take<WORD>();  // weight
    reader.Take<BYTE>();  // italic
    reader.Take<BYTE>();  // character set
    dialog.font = reader.NameOrOrdinal();
  }
  for (WORD i = 0; i < count; ++i) {
    reader.AlignToDword();
    TemplateItem item;
    reader.Take<DWORD>();  // help id
    item.ex_style = reader.Take<DWORD>();
    item.style = reader.Take<DWORD>();
    item.x = reader.Take<short>();
    item.y = reader.Take<short>();
    item.cx = reader.Take<short>();
    item.cy = reader.Take<short>();
    // A static control's -1 may be stored as a 16-bit or as a 32-bit -1.
    const DWORD id_value = reader.Take<DWORD>();
    item.id = id_value == 0xFFFF ? -1 : static_cast<int>(id_value);
    item.class_name = reader.ClassName();
    item.text = reader.NameOrOrdinal();
    reader.Skip(reader.Take<WORD>());  // creation data
    dialog.items.push_back(item);
  }
  return dialog;
}

}  // namespace tvl::testing
