#include "platform/registry.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvl {
namespace {

#ifdef _WIN32
// A key of the test's own under HKCU, removed before and after.
constexpr wchar_t kTestKey[] = L"Software\\Tarvelline test registry";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

  static void Set(const wchar_t* subkey, const wchar_t* name, DWORD type, const void* data,
                  DWORD size) {
    std::wstring path = std::wstring(kTestKey) + subkey;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void SetText(const wchar_t* subkey, const wchar_t* name, const std::wstring& text,
                      DWORD type = REG_SZ) {
    Set(subkey, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
};

TEST_F(RegistryTest, ReadsStringsAndListsSubkeys) {
  SetText(L"\\Games\\1435848814", L"path", L"C:\\GOG Games\\DOOM II");
  SetText(L"\\Games\\1435848814", L"gameName", L"DOOM II");
  SetText(L"\\Games\\17", L"path", L"%SystemRoot%\\x", REG_EXPAND_SZ);
  DWORD number = 7;
  Set(L"\\Games\\17", L"count", REG_DWORD, &number, sizeof number);
  // Stored without its terminating NUL, as some installers do.
  const wchar_t unterminated[] = {L'a', L'b', L'c'};
  Set(L"\\Games\\17", L"raw", REG_SZ, unterminated, sizeof unterminated);

  RegistryReader registry = SystemRegistry();
  const std::u16string games = u"Software\\Tarvelline test registry\\Games";
  std::u16string value;
  ASSERT_TRUE(
      registry.read_string(RegistryRoot::kCurrentUser, games + u"\\1435848814", u"path", &value));
  EXPECT_EQ(value, u"C:\\GOG Games\\DOOM II");
  ASSERT_TRUE(registry.read_string(RegistryRoot::kCurrentUser, games + u"\\17", u"raw", &value));
  EXPECT_EQ(value, u"abc");
  ASSERT_TRUE(registry.read_string(RegistryRoot::kCurrentUser, games + u"\\17", u"path", &value));
  EXPECT_EQ(value.find(u"%"), std::u16string::npos) << "expanded";
  EXPECT_EQ(value.substr(value.size() - 2), u"\\x");

  EXPECT_FALSE(registry.read_string(RegistryRoot::kCurrentUser, games + u"\\17", u"count", &value));
  EXPECT_FALSE(registry.read_string(RegistryRoot::kCurrentUser, games + u"\\17", u"none", &value));
  EXPECT_FALSE(registry.read_string(RegistryRoot::kCurrentUser, games + u"\\99", u"path", &value));
  EXPECT_FALSE(registry.read_string(RegistryRoot::kLocalMachine, games + u"\\17", u"path", &value));

  std::vector<std::u16string> keys = registry.subkeys(RegistryRoot::kCurrentUser, games);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"1435848814", u"17"}));
  EXPECT_TRUE(registry.subkeys(RegistryRoot::kCurrentUser, games + u"\\missing").empty());
}
#else
TEST(RegistryTest, FindsNothingWithoutARegistry) {
  RegistryReader registry = SystemRegistry();
  std::u16string value = u"untouched";
  EXPECT_FALSE(registry.read_string(RegistryRoot::kCurrentUser, u"Software\\Valve\\Steam",
                                    u"SteamPath", &value));
  EXPECT_EQ(value, u"untouched");
  EXPECT_TRUE(registry.subkeys(RegistryRoot::kLocalMachine, u"SOFTWARE").empty());
}
#endif

}  // namespace
}  // namespace tvl
