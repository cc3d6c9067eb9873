#include "app/file_dialog.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <iterator>
#include <span>

#include "platform/long_path_win32.h"
#include "ui/handle.h"

namespace tvl {
namespace {

// What can be opened includes zip archives, which hold an IWAD; what is saved is always a WAD.
constexpr COMDLG_FILTERSPEC kOpenFileTypes[] = {
    {L"Doom WAD files and zip archives", L"*.wad;*.zip"}, {L"All files", L"*.*"}};
constexpr COMDLG_FILTERSPEC kSaveFileTypes[] = {{L"Doom WAD files", L"*.wad"},
                                                {L"All files", L"*.*"}};

// Room for the classic dialog's answer: the longest path the system can name.
constexpr DWORD kClassicCapacity = 32768;

void FreeTaskMemory(wchar_t* text) { CoTaskMemFree(text); }
using TaskText = Owned<wchar_t*, FreeTaskMemory>;

// Room left after a start folder the shell can barely name, for the name chosen there: Wine's
// dialog truncates, or fails on, a chosen path past MAX_PATH.
constexpr size_t kNameRoom = 100;

// The shell item of `folder`, or, where the shell can't name it, of its deepest parent that it
// can with room for a name of `name_length` (at least kNameRoom) after it. The shell's namespace
// has a path limit of its own (Wine's is MAX_PATH); the dialog then starts as close to the folder
// as it may.
ComRef<IShellItem> FolderItem(const Path& folder, size_t name_length) {
  name_length = std::max(name_length, kNameRoom);
  ComRef<IShellItem> item;
  if (SUCCEEDED(
          SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(item.Receive())))) {
    return item;
  }
  for (Path at = folder.parent_path(); !at.empty(); at = at.parent_path()) {
    if (at.native().size() + 1 + name_length < MAX_PATH &&
        SUCCEEDED(SHCreateItemFromParsingName(at.c_str(), nullptr, IID_PPV_ARGS(item.Receive())))) {
      return item;
    }
    if (at == at.root_path()) break;
  }
  return {};
}

// The shell's answer in the form the rest of the program uses.
std::wstring WithoutLongPrefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

// The Common Item Dialog. `created` says whether it could be made at all.
std::optional<Path> ShowItemDialog(const FileDialogRequest& request, bool* created) {
  ComRef<IFileDialog> dialog;
  *created =
      SUCCEEDED(CoCreateInstance(request.save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog,
                                 nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.Receive())));
  if (!*created) return std::nullopt;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  if (request.save) {
    options |= FOS_OVERWRITEPROMPT;
  } else {
    options |= request.pick_folder ? FOS_PICKFOLDERS | FOS_PATHMUSTEXIST
                                   : FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST;
  }
  dialog->SetOptions(options);
  // A folder picker has no file types to offer.
  if (!request.pick_folder) {
    const std::span<const COMDLG_FILTERSPEC> types = FileTypesFor(request.save);
    dialog->SetFileTypes(static_cast<UINT>(types.size()), types.data());
    dialog->SetFileTypeIndex(1);
  }
  dialog->SetTitle(request.title.c_str());
  if (!request.default_extension.empty()) {
    dialog->SetDefaultExtension(request.default_extension.c_str());
  }
  if (!request.name.empty()) dialog->SetFileName(request.name.c_str());
  if (!request.folder.empty()) {
    if (ComRef<IShellItem> folder = FolderItem(request.folder, request.name.size()))
      dialog->SetFolder(folder.get());
  }
  if (FAILED(dialog->Show(request.owner))) return std::nullopt;
  ComRef<IShellItem> result;
  TaskText path;
  if (FAILED(dialog->GetResult(result.Receive())) ||
      FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, path.Receive()))) {
    return std::nullopt;
  }
  return Path(WithoutLongPrefix(path.get()));
}

}  // namespace

std::span<const COMDLG_FILTERSPEC> FileTypesFor(bool save) {
  if (save) return kSaveFileTypes;
  return kOpenFileTypes;
}

std::wstring ClassicFilterFor(bool save) {
  std::wstring filter;
  for (const COMDLG_FILTERSPEC& type : FileTypesFor(save)) {
    filter += type.pszName + std::wstring(1, L'\0') + type.pszSpec + std::wstring(1, L'\0');
  }
  return filter;
}

ClassicDialogStart ClassicStartFor(const FileDialogRequest& request) {
  // The classic dialog writes past its own buffers when its start folder and name together
  // reach MAX_PATH; without them it starts where it likes, which beats ending the program.
  ClassicDialogStart start;
  if (request.name.size() >= MAX_PATH) return start;
  start.name = request.name;
  const std::wstring folder = request.folder.wstring();
  if (folder.size() + 1 + request.name.size() < MAX_PATH) start.folder = folder;
  return start;
}

std::optional<Path> ShowClassicFileDialog(const FileDialogRequest& request) {
  const ClassicDialogStart start = ClassicStartFor(request);
  std::wstring file(kClassicCapacity, L'\0');
  start.name.copy(file.data(), start.name.size());
  const std::wstring filter = ClassicFilterFor(request.save);
  OPENFILENAMEW settings = {};
  settings.lStructSize = sizeof settings;
  settings.hwndOwner = request.owner;
  settings.lpstrFilter = filter.c_str();
  settings.nFilterIndex = 1;
  settings.lpstrFile = file.data();
  settings.nMaxFile = kClassicCapacity;
  settings.lpstrTitle = request.title.c_str();
  if (!start.folder.empty()) settings.lpstrInitialDir = start.folder.c_str();
  if (!request.default_extension.empty()) settings.lpstrDefExt = request.default_extension.c_str();
  settings.Flags = request.save ? OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR
                                : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  const BOOL chosen = request.save ? GetSaveFileNameW(&settings) : GetOpenFileNameW(&settings);
  if (!chosen) return std::nullopt;
  return Path(file.c_str());
}

std::optional<Path> ShowFileDialog(const FileDialogRequest& request) {
  bool created = false;
  std::optional<Path> chosen = ShowItemDialog(request, &created);
  if (created || request.pick_folder) return chosen;
  return ShowClassicFileDialog(request);
}

}  // namespace tvl
