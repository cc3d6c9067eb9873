#include "patching/apply_replacing.h"

#include "platform/write_beside.h"

namespace tvl {
namespace {

bool ApplyPatchReplacing(const Path& input, PatchInput patch, const Path& output, size_t piece_size,
                         const DecodeControl& control, ApplyError* error) {
  FileError file_error = 0;
  File input_file = File::OpenForRead(input, &file_error);
  if (!input_file.is_open()) {
    return FailApply(error, ApplyFailure::kOpenInput, "Couldn't open for read", file_error);
  }
  if (SameFile(input, output)) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write");
  }
  // Declared before the file written to it, so the file is closed before the name is removed.
  WriteBeside result;
  if (result.Begin(output, &file_error) != BesideStart::kReady) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", file_error);
  }
  File output_file = File::CreateForWrite(result.temp_path(), &file_error);
  if (!output_file.is_open()) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", file_error);
  }
  if (!DecodeToFile(input_file, patch, output_file, piece_size, control, error)) return false;
  input_file.Close();
  if (!result.PutInPlace(&file_error)) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't replace output", file_error);
  }
  return true;
}

}  // namespace

bool ApplyPatchBytesReplacing(const Path& input, std::span<const uint8_t> patch, const Path& output,
                              size_t piece_size, ApplyError* error, const DecodeControl& control) {
  return ApplyPatchReplacing(input, {patch}, output, piece_size, control, error);
}

bool ApplyPatchFileReplacing(const Path& input, const Path& patch, const Path& output,
                             size_t piece_size, ApplyError* error, const DecodeControl& control) {
  FileError file_error = 0;
  File patch_file = File::OpenForRead(patch, &file_error);
  if (!patch_file.is_open()) {
    return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data", file_error);
  }
  return ApplyPatchReplacing(input, {{}, &patch_file}, output, piece_size, control, error);
}

}  // namespace tvl
