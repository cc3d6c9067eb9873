#include "app/failure_text.h"

#include <windows.h>

#include <cwctype>
#include <filesystem>
#include <system_error>

#include "catalogue/catalogue.h"
#include "catalogue/wad_inspect.h"
#include "platform/wide_text.h"

namespace tvl {
namespace {

std::wstring Quoted(const Path& path) { return L"\"" + path.wstring() + L"\""; }

// "Could not <verb> "<file>": <system text>", or "...: it is read-only." for what players meet.
std::wstring CouldNot(const wchar_t* verb, const Path& path, FileError error, bool changing) {
  std::wstring text = std::wstring(L"Could not ") + verb + L" " + Quoted(path);
  const std::wstring trouble = PlainFileTrouble(path, error, changing);
  if (!trouble.empty()) return text + L": it " + trouble + L".";
  if (error != 0) text += L": " + SystemErrorText(error);
  return text;
}

std::wstring Sentence(std::wstring text) {
  if (!text.empty()) text[0] = static_cast<wchar_t>(std::towupper(text[0]));
  if (!text.empty() && text.back() != L'.') text += L'.';
  return text;
}

}  // namespace

std::wstring SystemErrorText(FileError error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text.empty() ? L"System error " + std::to_wstring(error) + L"." : text;
}

std::wstring PlainFileTrouble(const Path& path, FileError error, bool changing) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return L"is in use by another program (close the game or the launcher and try again)";
    case ERROR_ACCESS_DENIED: {
      // The system says the same of a read-only file as of a folder the user may not change.
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
          !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return L"is read-only";
      }
      return changing ? L"can't be changed here" : L"can't be read here";
    }
    default:
      return {};
  }
}

std::wstring FileErrorText(const Path& path, FileError error, bool changing) {
  const std::wstring trouble = PlainFileTrouble(path, error, changing);
  return trouble.empty() ? SystemErrorText(error) : Quoted(path) + L" " + trouble + L".";
}

std::wstring UnreadFileReason(const Path& path, FileError error) {
  const std::wstring trouble = PlainFileTrouble(path, error, false);
  if (!trouble.empty()) return Quoted(path) + L" " + trouble + L".";
  return L"The file can't be read: " + SystemErrorText(error);
}

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring MissingPatchText(const std::u16string& name) {
  std::wstring text;
  // The name joins two release ids with "_to_"; the ids themselves may hold underscores.
  for (size_t at = name.find(u"_to_"); at != std::u16string::npos;
       at = name.find(u"_to_", at + 1)) {
    const int source = FindIwadByReleaseId(std::u16string_view(name).substr(0, at));
    const int target = FindIwadByReleaseId(std::u16string_view(name).substr(at + 4));
    if (source < 0 || target < 0) continue;
    text = L"The patch from " + std::wstring(AsWide(GetIwad(source).title)) + L" to " +
           AsWide(GetIwad(target).title) + L" is missing.\n";
    break;
  }
  return text + L"Put " + std::wstring(name.begin(), name.end()) +
         L".vcdiff in the \"patches\" folder beside tarvelline.exe.";
}

std::wstring ConversionFailureReason(const ConvertReport& report, const Path& output) {
  switch (report.status) {
    case ConvertStatus::kConverted:
    case ConvertStatus::kCancelled:
      return {};
    case ConvertStatus::kNoRoute:
      return L"There is no conversion between these releases.";
    case ConvertStatus::kTempFailed:
      return L"Can't write in " + report.temp_folder.wstring() + L": " +
             SystemErrorText(report.file_error);
    case ConvertStatus::kPatchFailed: {
      const ApplyError& error = report.apply_error;
      std::wstring name(report.failed_patch.begin(), report.failed_patch.end());
      switch (error.failure) {
        case ApplyFailure::kNoPatch:
          return MissingPatchText(report.failed_patch);
        case ApplyFailure::kOpenInput:
          return CouldNot(L"read", report.step_input, error.file_error, false);
        case ApplyFailure::kReadInput:
          // The input gave out under us: a USB stick pulled, another program at work.
          if (error.file_error == 0) return L"The input changed while it was being converted.";
          return CouldNot(L"read", report.step_input, error.file_error, false);
        case ApplyFailure::kCreateOutput:
          return CouldNot(L"create", report.step_output, error.file_error, true);
        case ApplyFailure::kWrite:
          return CouldNot(L"write", report.step_output, error.file_error, true);
        case ApplyFailure::kNone:
        case ApplyFailure::kDecode:
        case ApplyFailure::kReadPatch:  // patches come from memory here
        case ApplyFailure::kStopped:    // a stop is kCancelled, never a failed step
          break;
      }
      return L"The patch " + name + L" could not be applied: " +
             WideFromUtf8(error.message ? error.message : "decoding failed") + L".";
    }
    case ConvertStatus::kVerifyFailed:
      if (report.file_error != 0) {
        return L"Could not read the result back: " + SystemErrorText(report.file_error);
      }
      return L"The input changed while it was being converted.";
    case ConvertStatus::kCannotReplace:
    case ConvertStatus::kReplaceFailed:
      return CouldNot(L"replace", output, report.file_error, true);
  }
  return {};
}

std::wstring UnknownFileReason(const Path& path, const std::string& sha1_hex) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return L"There is no such file.";
  if (std::filesystem::is_directory(status)) return L"This is a folder, not a file.";
  WadInspection inspection = InspectWadFile(path);
  std::wstring text;
  if (inspection.kind == WadKind::kUnreadable && inspection.error != 0) {
    text = UnreadFileReason(path, inspection.error);
  } else {
    text = Sentence(WideFromUtf8(ExplainWad(inspection)));
  }
  if (*UnknownWadNote(inspection)) text += L" " + WideFromUtf8(UnknownWadNote(inspection));
  if (!sha1_hex.empty()) text += L"\nSHA-1: " + WideFromUtf8(sha1_hex);
  return text;
}

}  // namespace tvl
