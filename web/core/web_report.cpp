#include "web/core/web_report.h"

namespace tvl::web {
namespace {

const char* StatusName(ConvertStatus status) {
  switch (status) {
    case ConvertStatus::kConverted:
      return "converted";
    case ConvertStatus::kNoRoute:
      return "no-route";
    case ConvertStatus::kTempFailed:
      return "temp-failed";
    case ConvertStatus::kPatchFailed:
      return "patch-failed";
    case ConvertStatus::kVerifyFailed:
      return "verify-failed";
    case ConvertStatus::kCannotReplace:
      return "cannot-replace";
    case ConvertStatus::kReplaceFailed:
      return "replace-failed";
    case ConvertStatus::kCancelled:
      return "cancelled";
  }
  return "unknown";
}

const char* FailureName(ApplyFailure failure) {
  switch (failure) {
    case ApplyFailure::kNone:
      return "";
    case ApplyFailure::kOpenInput:
      return "open-input";
    case ApplyFailure::kCreateOutput:
      return "create-output";
    case ApplyFailure::kNoPatch:
      return "no-patch";
    case ApplyFailure::kDecode:
      return "decode";
    case ApplyFailure::kWrite:
      return "write";
    case ApplyFailure::kReadInput:
      return "read-input";
    case ApplyFailure::kReadPatch:
      return "read-patch";
    case ApplyFailure::kStopped:
      return "stopped";
  }
  return "";
}

}  // namespace

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

std::string ReportJson(const ConvertReport& report, const ConvertRequest& request) {
  return std::string("{\"status\":\"") + StatusName(report.status) + "\",\"failure\":\"" +
         FailureName(report.apply_error.failure) +
         "\",\"patch\":" + JsonString(Narrow(report.failed_patch)) +
         ",\"patchFile\":" + JsonString(PathToUtf8(report.patch_file)) +
         ",\"detail\":" + JsonString(DescribeConvertFailure(report, request)) + "}";
}

}  // namespace tvl::web
