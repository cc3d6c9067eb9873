#include "patching/apply_patch.h"

#include "patches/patch_directory.h"
#include "patching/apply_files.h"

namespace tvl {

int ApplyPatch(const Path& input, const char16_t* patch_name, const Path& output,
               ApplyError* error) {
  File input_file, output_file;
  if (!OpenPatchFiles(input, output, &input_file, &output_file, error)) return 0;

  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (!FindPatch(patch_name, &data, &length)) {
    return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data");
  }
  return DecodeToFile(input_file, {std::span<const uint8_t>(data, length)}, output_file,
                      kPatchPieceSize, error);
}

}  // namespace tvl
