#include "web/core/web_report.h"

#include <sys/stat.h>

#include "patches/patch_folder.h"

namespace tvl::web {

std::string ReleaseJson(const IwadRecord& release) {
  return "{\"index\":" + std::to_string(release.index) +
         ",\"id\":" + JsonString(Narrow(FormatReleaseId(release))) +
         ",\"game\":" + JsonString(Narrow(release.game_id)) +
         ",\"version\":" + JsonString(Narrow(release.version_id)) +
         ",\"title\":" + JsonString(Narrow(release.title)) + ",\"sha1\":\"" + release.sha1_hex +
         "\",\"flags\":" + std::to_string(release.flags) + "}";
}

std::string TargetJson(const IwadRecord& target, const std::vector<std::u16string>& route,
                       bool convertible, const std::function<bool(const std::u16string&)>& have) {
  std::string names;
  std::string missing;
  for (const std::u16string& name : route) {
    if (!names.empty()) names += ',';
    names += JsonString(Narrow(name));
    if (missing.empty() && !have(name)) missing = Narrow(name);
  }
  const bool present = !route.empty() && missing.empty();
  return "{\"index\":" + std::to_string(target.index) +
         ",\"id\":" + JsonString(Narrow(FormatReleaseId(target))) +
         ",\"title\":" + JsonString(Narrow(target.title)) + ",\"route\":[" + names +
         "],\"convertible\":" + (convertible ? "true" : "false") +
         ",\"present\":" + (present ? "true" : "false") + ",\"missing\":" + JsonString(missing) +
         "}";
}

const char* FailureKind(const ConvertReport& report, bool patch_too_large) {
  switch (report.status) {
    case ConvertStatus::kConverted:
      return "converted";
    case ConvertStatus::kCancelled:
      return "cancelled";
    case ConvertStatus::kNoRoute:
      return "no-route";
    case ConvertStatus::kTempFailed:
      return "temp-failed";
    case ConvertStatus::kVerifyFailed:
      return report.file_error != 0 ? "result-unreadable" : "not-target";
    case ConvertStatus::kCannotReplace:
    case ConvertStatus::kReplaceFailed:
      return "replace-failed";
    case ConvertStatus::kPatchFailed:
      break;
  }
  switch (report.apply_error.failure) {
    case ApplyFailure::kNoPatch:
      if (report.patch_file.empty()) return "patch-missing";
      if (patch_too_large) return "patch-too-large";
      return "patch-unreadable";
    case ApplyFailure::kReadPatch:
      return "patch-unreadable";
    case ApplyFailure::kDecode:
      return "patch-damaged";
    case ApplyFailure::kOpenInput:
    case ApplyFailure::kReadInput:
      return "input-unreadable";
    case ApplyFailure::kCreateOutput:
    case ApplyFailure::kWrite:
      return "write-failed";
    case ApplyFailure::kStopped:
      return "cancelled";
    case ApplyFailure::kNone:
      break;
  }
  return "write-failed";
}

namespace {

std::string ReleaseId(int index) {
  return index >= 0 && index < kIwadCount ? Narrow(FormatReleaseId(GetIwad(index))) : "";
}

// The page mounts picked patches as plain files (it unpacks packs itself), so a picked file the
// core refused without a system error is one over the size limit; the report keeps no more.
bool TooLarge(const Path& file) {
  struct stat info {};
  return !file.empty() && stat(PathToUtf8(file).c_str(), &info) == 0 &&
         static_cast<uint64_t>(info.st_size) > kMaxFolderPatchSize;
}

}  // namespace

std::string ReportJson(const ConvertReport& report, const ConvertRequest& request) {
  const FileError error =
      report.file_error != 0 ? report.file_error : report.apply_error.file_error;
  std::string suspects;
  for (const Path& file : report.folder_patches) {
    if (!suspects.empty()) suspects += ',';
    suspects += JsonString(PathToUtf8(file));
  }
  const bool built_in = report.status == ConvertStatus::kPatchFailed && report.patch_file.empty() &&
                        report.apply_error.failure != ApplyFailure::kNoPatch;
  const char* role = !report.patch_file.empty() ? "picked" : built_in ? "built-in" : "";
  return std::string("{\"kind\":\"") + FailureKind(report, TooLarge(report.patch_file)) +
         "\",\"source\":" + JsonString(ReleaseId(request.source)) +
         ",\"target\":" + JsonString(ReleaseId(request.target)) +
         ",\"patch\":" + JsonString(Narrow(report.failed_patch)) +
         ",\"patchFile\":" + JsonString(PathToUtf8(report.patch_file)) + ",\"patchRole\":\"" +
         role + "\",\"suspects\":[" + suspects +
         "],\"reason\":" + JsonString(error != 0 ? DescribeFileError(error) : "") + "}";
}

}  // namespace tvl::web
