// The program's resources and its version, as the running test program (which carries the same
// resources) sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/program.h"
#include "resources/program_ids.h"

namespace tvl {
namespace {

std::string ResourceBytes(const wchar_t* type, const wchar_t* name) {
  HRSRC found = FindResourceW(nullptr, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  return std::string(bytes, SizeofResource(nullptr, found));
}

std::wstring VersionString(const std::vector<unsigned char>& block, const wchar_t* name) {
  std::wstring query = std::wstring(L"\\StringFileInfo\\000004b0\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"(missing)";
  }
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(ProgramTest, VersionIsReadFromTheVersionResource) {
  ProgramVersion[0] = L'\0';
  ReadProgramVersion();
  EXPECT_STREQ(ProgramVersion, L"" TVL_VERSION_SHORT);

  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD size = GetFileVersionInfoSizeW(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(4, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(90, 1));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(4, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(90, 1));

  // One string block: language neutral, UTF-16.
  WORD* translation = nullptr;
  UINT translation_size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &translation_size));
  ASSERT_EQ(translation_size, 4u);
  EXPECT_EQ(translation[0], 0x0000);
  EXPECT_EQ(translation[1], 1200);

  EXPECT_EQ(VersionString(block, L"FileDescription"), L"Tarvelline");
  EXPECT_EQ(VersionString(block, L"ProductName"), L"Tarvelline");
  EXPECT_EQ(VersionString(block, L"FileVersion"), L"" TVL_VERSION_TEXT);
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"" TVL_VERSION_TEXT);
  EXPECT_EQ(VersionString(block, L"InternalName"), L"tarvelline.exe");
  EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"tarvelline.exe");
  EXPECT_EQ(VersionString(block, L"CompanyName"), L"The Tarvelline developers");
  EXPECT_EQ(VersionString(block, L"LegalCopyright"),
            L"Copyright (C) 2026 The Tarvelline developers");
}

TEST(ProgramTest, ManifestAsksForCommonControls6AndDpiAwareness) {
  std::string manifest = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(manifest.empty());
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.2600.0\"",
                           "level=\"asInvoker\" uiAccess=\"false\"", ">true</dpiAware>",
                           ">PerMonitorV2</dpiAwareness>", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
#if defined(_WIN64)
  EXPECT_NE(manifest.find("processorArchitecture=\"amd64\""), std::string::npos);
#else
  EXPECT_NE(manifest.find("processorArchitecture=\"x86\""), std::string::npos);
#endif

  // The system took the manifest: comctl32.dll is redirected to the side-by-side version 6.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&controls));
  ACTCTX_SECTION_KEYED_DATA redirect = {};
  redirect.cbSize = sizeof redirect;
  EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                       L"comctl32.dll", &redirect));
  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), loaded, MAX_PATH);
  std::wstring path = loaded;
  for (wchar_t& c : path) c = static_cast<wchar_t>(towlower(c));
  EXPECT_NE(path.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
      << "loaded from " << std::string(path.begin(), path.end());
}

}  // namespace
}  // namespace tvl
