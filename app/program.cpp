#include "app/program.h"

#include <commctrl.h>
#include <ole2.h>
#include <winver.h>

#include <cwchar>
#include <vector>

#include "app/main_window.h"
#include "resources/program_ids.h"
#include "ui/ole_session.h"

namespace tvl {

HWND MainWindow = nullptr;
const IwadRecord* CurrentIwad = nullptr;
wchar_t ProgramVersion[kProgramVersionSize] = {};

void ReadProgramVersion() {
  // From the program's own image rather than its file: no path is needed, so a program in a
  // folder of any depth shows its version.
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  if (!found) return;
  DWORD size = SizeofResource(self, found);
  const auto* resource = static_cast<const unsigned char*>(LockResource(LoadResource(self, found)));
  if (!resource || size == 0) return;
  // VerQueryValueW expects a block of its own, as GetFileVersionInfoW would have copied.
  std::vector<unsigned char> block(resource, resource + size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &info_size) ||
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
