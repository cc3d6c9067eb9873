#include <filesystem>
#include <system_error>

#include "patching/apply_files.h"
#include "patching/temp_file.h"
#include "platform/file_ops.h"

namespace tvl {

int FailApply(ApplyError* error, ApplyFailure failure, const char* message, FileError file_error) {
  if (error) *error = {failure, message, file_error};
  return 0;
}

bool OpenPatchFiles(const Path& input, const Path& output, File* input_file, File* output_file,
                    ApplyError* error) {
  FileError input_error = 0;
  *input_file = File::OpenForRead(input, &input_error);
  // Windows refuses to create a file that is open without write sharing; POSIX would truncate
  // the source under us, so both get the same refusal.
  const bool same_file = SameFile(input, output);
  FileError output_error = 0;
  if (!same_file) *output_file = File::CreateForWrite(output, &output_error);
  if (!input_file->is_open()) {
    FailApply(error, ApplyFailure::kOpenInput, "Couldn't open for read", input_error);
    return false;
  }
  if (!output_file->is_open()) {
    FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", output_error);
    return false;
  }
  return true;
}

int ApplyPatchBytes(const Path& input, std::span<const uint8_t> patch, const Path& output,
                    size_t piece_size, ApplyError* error, uint64_t output_limit) {
  File input_file, output_file;
  if (!OpenPatchFiles(input, output, &input_file, &output_file, error)) return 0;
  return DecodeToFile(input_file, {patch, nullptr, output_limit}, output_file, piece_size, error);
}

int ApplyPatchBytesReplacing(const Path& input, std::span<const uint8_t> patch, const Path& output,
                             size_t piece_size, ApplyError* error) {
  return ApplyPatchReplacing(input, {patch}, output, piece_size, error);
}

int ApplyPatchFileReplacing(const Path& input, const Path& patch, const Path& output,
                            size_t piece_size, ApplyError* error) {
  FileError file_error = 0;
  File patch_file = File::OpenForRead(patch, &file_error);
  if (!patch_file.is_open()) {
    return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data", file_error);
  }
  return ApplyPatchReplacing(input, {{}, &patch_file}, output, piece_size, error);
}

int ApplyPatchReplacing(const Path& input, PatchInput patch, const Path& output, size_t piece_size,
                        ApplyError* error) {
  FileError file_error = 0;
  File input_file = File::OpenForRead(input, &file_error);
  if (!input_file.is_open()) {
    return FailApply(error, ApplyFailure::kOpenInput, "Couldn't open for read", file_error);
  }
  if (SameFile(input, output)) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write");
  }
  std::error_code ignored;
  if (std::filesystem::exists(output, ignored) && !CanReplaceFile(output, &file_error)) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", file_error);
  }
  // Declared before the file written to it, so the file is closed before the name is removed.
  TempFile result(MakeTempFile(FolderOf(output), &file_error));
  if (result.empty()) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", file_error);
  }
  File output_file = File::CreateForWrite(result.path(), &file_error);
  if (!output_file.is_open()) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", file_error);
  }
  if (!DecodeToFile(input_file, patch, output_file, piece_size, error)) return 0;
  input_file.Close();
  if (!MoveFileReplacing(result.path(), output, &file_error)) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't replace output", file_error);
  }
  result.Release();
  return 1;
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
