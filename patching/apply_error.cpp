#include "patching/apply_error.h"

namespace tvl {

bool FailApply(ApplyError* error, ApplyFailure failure, const char* message, FileError file_error) {
  if (error) *error = {failure, message, file_error};
  return false;
}

std::string ApplyPatchDiagnostic(const ApplyError& error, const Path& input, std::string_view patch,
                                 const Path& output) {
  switch (error.failure) {
    case ApplyFailure::kOpenInput:
      return "Couldn't open for read: " + PathToUtf8(input);
    case ApplyFailure::kCreateOutput:
      return "Couldn't open for write: " + PathToUtf8(output);
    case ApplyFailure::kNoPatch:
      return "Couldn't open patch data: " + std::string(patch);
    case ApplyFailure::kReadPatch:
      return "Couldn't read patch data: " + std::string(patch);
    case ApplyFailure::kNone:
    case ApplyFailure::kDecode:
    case ApplyFailure::kWrite:
    case ApplyFailure::kReadInput:
    case ApplyFailure::kStopped:
      break;
  }
  return "";
}

std::string DescribeApplyError(const ApplyError& error, const Path& input, std::string_view patch,
                               const Path& output) {
  std::string text = ApplyPatchDiagnostic(error, input, patch, output);
  if (text.empty()) {
    text = error.message ? error.message : "patching failed";
    if (error.failure == ApplyFailure::kWrite) {
      text += ": " + PathToUtf8(output);
    } else if (error.failure == ApplyFailure::kReadInput && error.file_error != 0) {
      // An input that changed says so in its message; only a failed read names the file.
      text += ": " + PathToUtf8(input);
    } else {
      return text;
    }
  }
  if (error.file_error != 0) text += " (" + DescribeFileError(error.file_error) + ")";
  return text;
}

}  // namespace tvl
