#include "patching/apply_patch.h"

#include <cstdio>
#include <string>

#include "patches/patch_directory.h"
#include "patching/apply_files.h"

namespace tvl {
namespace {

std::string Utf8(const Path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Patch names are ASCII; anything else shows as '?'.
std::string Narrow(const char16_t* text) {
  std::string narrow;
  for (; text && *text; ++text) narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return narrow;
}

}  // namespace

int ApplyPatch(const Path& input, const char16_t* patch_name, const Path& output,
               ApplyError* error) {
  ApplyError local;
  if (!error) error = &local;

  File input_file, output_file;
  if (!OpenPatchFiles(input, output, &input_file, &output_file, error)) {
    if (error->failure == ApplyFailure::kOpenInput) {
      std::fprintf(stderr, "Couldn't open for read: %s\n", Utf8(input).c_str());
    } else {
      std::fprintf(stderr, "Couldn't open for write: %s\n", Utf8(output).c_str());
    }
    return 0;
  }

  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (!FindPatch(patch_name, &data, &length)) {
    std::fprintf(stderr, "Couldn't open patch data: %s\n", Narrow(patch_name).c_str());
    return Fail(error, ApplyFailure::kNoPatch, "Couldn't open patch data");
  }
  return DecodeToFile(input_file, std::span<const uint8_t>(data, length), output_file,
                      kPatchPieceSize, error);
}

}  // namespace tvl
