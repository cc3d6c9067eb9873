#include "tests/ui/screenshot.h"

#include <gtest/gtest.h>

namespace tvl::testing {
namespace {

constexpr DWORD kWaitMs = 30000;

}  // namespace

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

void SaveScreenshot(HWND window, const std::wstring& name) {
  if (!UnderWine()) return;
  DeleteFileW(name.c_str());
  UpdateWindow(window);
  GdiFlush();
  RECT rect = {};
  GetWindowRect(window, &rect);
  // Wine starts a Unix program without waiting for it, so the picture is written under another
  // name and renamed when complete.
  std::wstring partial = L"partial-" + name;
  std::wstring command = L"Z:\\bin\\sh -c \"import -window root -crop " +
                         std::to_wstring(rect.right - rect.left) + L"x" +
                         std::to_wstring(rect.bottom - rect.top) + L"+" +
                         std::to_wstring(rect.left) + L"+" + std::to_wstring(rect.top) +
                         L" +repage '" + partial + L"' && mv '" + partial + L"' '" + name + L"'\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (DWORD waited = 0; waited < kWaitMs; waited += 100) {
    if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    Sleep(100);
  }
  ADD_FAILURE() << "no screenshot";
}

}  // namespace tvl::testing
