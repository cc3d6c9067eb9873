#include "patching/convert.h"

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "patches/patch_directory.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

// A temporary file that is deleted when it goes out of scope, unless it was handed on.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() {
    if (!path_.empty()) RemoveFile(path_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool Make(const TempFileMaker& make, const Path& folder, FileError* error) {
    path_ = make(folder, error);
    return !path_.empty();
  }
  const Path& path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  Path path_;
};

// One step of the route: ApplyPatch without its console diagnostics, which the report carries.
int ApplyStep(const Path& input, const std::u16string& name, const Path& output,
              ApplyError* error) {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (!FindPatch(name.c_str(), &data, &length)) {
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

  TempFile result;
  if (!result.Make(request.make_temp, FolderOf(request.output), &error)) {
    return Fail(ConvertStatus::kTempFailed, error);
  }
  TempFile intermediate;
  if (route.size() == 2 && !intermediate.Make(request.make_temp, request.temp_folder, &error)) {
    return Fail(ConvertStatus::kTempFailed, error);
  }

  Path step_input = request.input;
  for (size_t step = 0; step < route.size(); ++step) {
    const Path& step_output = step + 1 < route.size() ? intermediate.path() : result.path();
    ApplyError apply_error;
    if (!ApplyStep(step_input, route[step], step_output, &apply_error)) {
      ConvertReport report = Fail(ConvertStatus::kPatchFailed);
      report.apply_error = apply_error;
      report.failed_patch = route[step];
      report.step_input = step_input;
      report.step_output = step_output;
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
      std::string name(report.failed_patch.begin(), report.failed_patch.end());
      return "patch " + name + " failed: " +
             DescribeApplyError(report.apply_error, report.step_input, name, report.step_output);
    }
    case ConvertStatus::kVerifyFailed:
      return "the result is not the target release (was the input changed after it was "
             "identified?)";
    case ConvertStatus::kCannotReplace:
      return "cannot replace " + PathToUtf8(request.input) + ": " +
             DescribeFileError(report.file_error);
    case ConvertStatus::kReplaceFailed:
      return "cannot move the result to " + PathToUtf8(request.output) + ": " +
             DescribeFileError(report.file_error);
  }
  return "unknown failure";
}

}  // namespace tvl
