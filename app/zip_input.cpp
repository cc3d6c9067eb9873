#include "app/zip_input.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "app/failure_text.h"
#include "app/ui_calls.h"
#include "app/wait_cursor.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

ZipOpenResult Failed(std::wstring reason) {
  ZipOpenResult result;
  result.status = ZipOpenStatus::kFailed;
  if (!reason.empty() && reason.back() != L'.') reason += L'.';
  result.reason = std::move(reason);
  return result;
}

}  // namespace

ZipOpenResult OpenZipInput(HWND window, const Path& archive, const std::string& wanted) {
  // The input box shows the path; the messages name the archive by its file name.
  const std::string name = PathToUtf8(archive.filename());
  ZipDirectory directory;
  ZipReport report;
  {
    WaitCursor wait;
    if (!ReadZipFile(archive, &directory, &report)) {
      return Failed(WideFromUtf8(DescribeZipReport(report, name)));
    }
  }
  const std::vector<const ZipEntry*> wads = WadEntries(directory);
  if (wads.empty()) return Failed(WideFromUtf8(name) + L" contains no WAD file");
  const ZipEntry* entry = wads.front();
  const auto named = std::find_if(wads.begin(), wads.end(),
                                  [&](const ZipEntry* wad) { return wad->name == wanted; });
  if (!wanted.empty() && named != wads.end()) {
    entry = *named;
  } else if (wads.size() > 1) {
    std::vector<std::wstring> names;
    for (const ZipEntry* wad : wads) names.push_back(WideFromUtf8(wad->name));
    const int chosen = Ui().choose_zip_entry(window, archive.filename().wstring(), names);
    if (chosen < 0 || static_cast<size_t>(chosen) >= wads.size()) {
      ZipOpenResult result;
      result.status = ZipOpenStatus::kNotChosen;
      return result;
    }
    entry = wads[static_cast<size_t>(chosen)];
  }

  WaitCursor wait;
  auto input = std::make_unique<ZipInput>();
  input->archive = archive;
  input->entry = entry->name;
  ZipOpenResult result;
  if (!UnpackZipEntry(archive, *entry, Ui().temp_folder(), Ui().make_temp_file, &input->unpacked,
                      &result.digest, &report)) {
    return Failed(WideFromUtf8(DescribeZipReport(report, name)));
  }
  FileError error = 0;
  input->hold = File::OpenForRead(input->unpacked.path(), &error);
  if (!input->hold.is_open()) {
    return Failed(L"Could not read " + WideFromUtf8(entry->name) + L" unpacked from " +
                  WideFromUtf8(name) + L": " + SystemErrorText(error));
  }
  result.status = ZipOpenStatus::kUnpacked;
  result.input = std::move(input);
  return result;
}

std::wstring EntryStem(const std::string& entry) {
  const size_t slash = entry.find_last_of("/\\");
  std::wstring stem = WideFromUtf8(slash == std::string::npos ? entry : entry.substr(slash + 1));
  const size_t dot = stem.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) stem.resize(dot);
  for (wchar_t& unit : stem) {
    if (unit < L' ' || std::wcschr(L"<>:\"|?*", unit)) unit = L'_';
  }
  return stem;
}

}  // namespace tvl
