// Catalogue texts are char16_t; the Win32 API takes wchar_t. Both are UTF-16 on Windows, so the
// one conversion the Windows program needs is a reinterpretation, kept here, below both the
// window code and its dialogs.
#pragma once

#include <cwchar>

namespace tvl {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 here");

inline const wchar_t* AsWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

}  // namespace tvl
