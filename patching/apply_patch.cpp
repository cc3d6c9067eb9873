#include "patching/apply_patch.h"

#include "patches/patch_directory.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

// Opens `input` for reading, then creates `output` whether or not the input opened. The one
// exception: an output that is the input file itself is never created, since that would empty
// the source before a byte of it was read.
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
    return FailApply(error, ApplyFailure::kOpenInput, "Couldn't open for read", input_error);
  }
  if (!output_file->is_open()) {
    return FailApply(error, ApplyFailure::kCreateOutput, "Couldn't open for write", output_error);
  }
  return true;
}

}  // namespace

bool ApplyPatch(const Path& input, const char16_t* patch_name, const Path& output,
                ApplyError* error) {
  File input_file, output_file;
  if (!OpenPatchFiles(input, output, &input_file, &output_file, error)) return false;

  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (!FindPatch(patch_name, &data, &length)) {
    return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data");
  }
  return DecodeToFile(input_file, {std::span<const uint8_t>(data, length)}, output_file,
                      kPatchPieceSize, {}, error);
}

bool ApplyPatchBytes(const Path& input, std::span<const uint8_t> patch, const Path& output,
                     size_t piece_size, ApplyError* error, const DecodeControl& control) {
  File input_file, output_file;
  if (!OpenPatchFiles(input, output, &input_file, &output_file, error)) return false;
  return DecodeToFile(input_file, {patch}, output_file, piece_size, control, error);
}

}  // namespace tvl
