#include <windows.h>

#include <algorithm>

#include "platform/registry.h"

namespace tvl {
namespace {

// Registry values we read are folder paths; anything longer is not one.
constexpr DWORD kMaxValueBytes = 64 * 1024;

class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// The views to search: the 32-bit view first, where 32-bit launchers write under HKLM.
int ViewsOf(RegistryRoot root, REGSAM views[2]) {
  if (root == RegistryRoot::kCurrentUser) {
    views[0] = 0;
    return 1;
  }
  views[0] = KEY_WOW64_32KEY;
  views[1] = KEY_WOW64_64KEY;
  return 2;
}

bool Open(RegistryRoot root, std::u16string_view key, REGSAM view, KeyHandle* handle) {
  std::wstring path(key.begin(), key.end());
  return RegOpenKeyExW(RootKey(root), path.c_str(), 0, KEY_READ | view, handle->out()) ==
         ERROR_SUCCESS;
}

bool ReadFrom(HKEY key, std::u16string_view name, std::u16string* value) {
  std::wstring value_name(name.begin(), name.end());
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, value_name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxValueBytes) {
    return false;
  }
  // The stored string need not end in a NUL; leave room for one.
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = size;
  if (RegQueryValueExW(key, value_name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(text.data()), &got) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  text.resize(std::min<size_t>(got / sizeof(wchar_t), text.size()));
  text.resize(std::wcslen(text.c_str()));
  if (type == REG_EXPAND_SZ) {
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0 || needed > kMaxValueBytes) return false;
    std::wstring expanded(needed, L'\0');
    if (ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed) == 0) return false;
    expanded.resize(std::wcslen(expanded.c_str()));
    text = std::move(expanded);
  }
  value->assign(text.begin(), text.end());
  return true;
}

bool ReadString(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                std::u16string* value) {
  REGSAM views[2];
  for (int i = 0, n = ViewsOf(root, views); i < n; ++i) {
    KeyHandle handle;
    if (Open(root, key, views[i], &handle) && ReadFrom(handle.get(), name, value)) return true;
  }
  return false;
}

std::vector<std::u16string> Subkeys(RegistryRoot root, std::u16string_view key) {
  std::vector<std::u16string> names;
  REGSAM views[2];
  for (int i = 0, n = ViewsOf(root, views); i < n; ++i) {
    KeyHandle handle;
    if (!Open(root, key, views[i], &handle)) continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];  // the longest key name the registry allows is 255 characters
      DWORD length = 256;
      LONG status =
          RegEnumKeyExW(handle.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA) continue;
      if (status != ERROR_SUCCESS) break;
      std::u16string found(name, name + length);
      if (std::find(names.begin(), names.end(), found) == names.end()) names.push_back(found);
    }
  }
  return names;
}

}  // namespace

RegistryReader SystemRegistry() { return {ReadString, Subkeys}; }

}  // namespace tvl
