#include "patching/convert.h"

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "patches/patch_directory.h"
#include "patching/temp_file.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace tvl {
namespace {

// One step of the route: ApplyPatch without its console diagnostics, which the report carries.
int ApplyStep(const Path& input, const std::u16string& name, const Path& output,
              const PatchFinder& find_patch, ApplyError* error) {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  const bool found = find_patch ? find_patch(name.c_str(), &data, &length)
                                : FindPatch(name.c_str(), &data, &length);
  if (!found) {
    *error = {ApplyFailure::kNoPatch, "Couldn't open patch data", 0};
    return 0;
  }
  return ApplyPatchBytes(input, std::span<const uint8_t>(data, length), output, kPatchPieceSize,
                         error);
}

Path FolderOf(const Path& path) {
  Path folder = path.parent_path();
  return folder.empty() ? Path(".") : folder;
}

ConvertReport Fail(ConvertStatus status, FileError error = 0) {
  ConvertReport report;
  report.status = status;
  report.file_error = error;
  return report;
}

}  // namespace

ConvertReport ConvertRelease(const ConvertRequest& request) {
  if (request.source < 0 || request.source >= kIwadCount || request.target < 0 ||
      request.target >= kIwadCount) {
    return Fail(ConvertStatus::kNoRoute);
  }
  const IwadRecord& target = GetIwad(request.target);
  std::vector<std::u16string> route = FindPatchRoute(GetIwad(request.source), target);
  if (route.empty()) return Fail(ConvertStatus::kNoRoute);

  // Check before any work that the file to be replaced may be replaced: a read-only output (the
  // input itself, in place) then fails with nothing written, on every system alike.
  FileError error = 0;
  std::error_code exists_error;
  if (std::filesystem::exists(request.output, exists_error) &&
      !CanReplaceFile(request.output, &error)) {
    return Fail(ConvertStatus::kCannotReplace, error);
  }

  auto make_temp = [&request](const Path& folder, FileError* error) {
    return request.make_temp ? request.make_temp(folder, error) : MakeTempFile(folder, error);
  };
  TempFile result(make_temp(FolderOf(request.output), &error));
  if (result.empty()) return Fail(ConvertStatus::kTempFailed, error);
  TempFile intermediate;
  if (route.size() == 2) {
    intermediate.Reset(make_temp(request.temp_folder, &error));
    if (intermediate.empty()) return Fail(ConvertStatus::kTempFailed, error);
  }

  Path step_input = request.input;
  for (size_t step = 0; step < route.size(); ++step) {
    const bool last = step + 1 == route.size();
    const Path& step_output = last ? result.path() : intermediate.path();
    ApplyError apply_error;
    if (!ApplyStep(step_input, route[step], step_output, request.find_patch, &apply_error)) {
      ConvertReport report = Fail(ConvertStatus::kPatchFailed);
      report.apply_error = apply_error;
      report.failed_patch = route[step];
      report.step_input = step_input;
      report.step_output = last ? request.output : step_output;
      return report;
    }
    step_input = step_output;
  }

  // The checksums catch a damaged patch or source window by window; this catches everything,
  // including an input that changed after it was identified.
  FileDigest digest = Sha1OfFile(result.path());
  if (!digest.complete || FormatDigest(digest.bytes) != target.sha1_hex) {
    return Fail(ConvertStatus::kVerifyFailed, digest.error);
  }
  if (!MoveFileReplacing(result.path(), request.output, &error)) {
    return Fail(ConvertStatus::kReplaceFailed, error);
  }
  result.Release();
  return {};
}

std::string DescribeConvertFailure(const ConvertReport& report, const ConvertRequest& request) {
  switch (report.status) {
    case ConvertStatus::kConverted:
      return "converted";
    case ConvertStatus::kNoRoute:
      return "no conversion between these releases";
    case ConvertStatus::kTempFailed:
      return "cannot create a temporary file: " + DescribeFileError(report.file_error);
    case ConvertStatus::kPatchFailed: {
      const std::string name = Narrow(report.failed_patch);
      return "patch " + name + " failed: " +
             DescribeApplyError(report.apply_error, report.step_input, name, report.step_output);
    }
    case ConvertStatus::kVerifyFailed:
      if (report.file_error != 0) {
        return "cannot read the result back to verify it: " + DescribeFileError(report.file_error);
      }
      return "the result is not the target release (was the input changed after it was "
             "identified?)";
    case ConvertStatus::kCannotReplace:
      return "cannot replace " + PathToUtf8(request.output) + ": " +
             DescribeFileError(report.file_error);
    case ConvertStatus::kReplaceFailed:
      return "cannot move the result to " + PathToUtf8(request.output) + ": " +
             DescribeFileError(report.file_error);
  }
  return "unknown failure";
}

}  // namespace tvl
