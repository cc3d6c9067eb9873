#include "app/program.h"

#include <commctrl.h>
#include <ole2.h>
#include <winver.h>

#include <cwchar>
#include <memory>

#include "app/main_window.h"
#include "resources/program_ids.h"
#include "ui/ole_session.h"

namespace tvl {

HWND MainWindow = nullptr;
const IwadRecord* CurrentIwad = nullptr;
wchar_t ProgramVersion[kProgramVersionSize] = {};

void ReadProgramVersion() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return;
  auto block = std::make_unique<unsigned char[]>(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!GetFileVersionInfoW(path, 0, size, block.get()) ||
      !VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&info), &info_size) ||
      info == nullptr || info_size < sizeof(VS_FIXEDFILEINFO)) {
    return;
  }
  // The fourth number, the revision, is not part of the version shown.
  std::swprintf(ProgramVersion, kProgramVersionSize, L"%u.%u.%u",
                static_cast<unsigned>(HIWORD(info->dwProductVersionMS)),
                static_cast<unsigned>(LOWORD(info->dwProductVersionMS)),
                static_cast<unsigned>(HIWORD(info->dwProductVersionLS)));
}

int RunProgram(HINSTANCE instance, const wchar_t* input_path) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  OleSession ole;
  ReadProgramVersion();
  InitIwadCatalogue();
  INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                                   MainDialogProc, reinterpret_cast<LPARAM>(input_path));
  return static_cast<int>(result);
}

}  // namespace tvl
