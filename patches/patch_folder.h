// Patches from a folder at run time: "<name>.vcdiff" files that stand in for streams the
// built-in store lacks, so patches made with build-store need no rebuild of the program.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace tvl {

// A folder patch is read whole into memory. No real patch comes near this: a patch is about as
// large as its target release at worst, and the largest release is about 107 MB. The bound keeps
// a stray huge file from exhausting memory, on 32-bit Windows above all.
inline constexpr uint64_t kMaxFolderPatchSize = uint64_t{256} << 20;

// "<folder>/<name>.vcdiff".
Path FolderPatchPath(const Path& folder, std::u16string_view name);

enum class FolderPatchStatus {
  kRead,        // `bytes` holds the whole file
  kAbsent,      // no such file (a folder of that name counts as none)
  kTooLarge,    // larger than kMaxFolderPatchSize; nothing was read
  kReadFailed,  // it could not be opened or read; the FileError says why
};

// Reads the patch file `file` into `bytes` (emptied on every status but kRead). The bytes are
// untrusted: the decoder checks them as it goes, and the result's digest is checked after.
FolderPatchStatus ReadFolderPatch(const Path& file, std::vector<uint8_t>* bytes,
                                  FileError* error = nullptr);

// Where the patch `name` would come from: the built-in store wins over the folder.
enum class PatchOrigin { kBuiltIn, kFolder, kMissing };
PatchOrigin LocatePatch(std::u16string_view name, const Path& folder);

// The "patches" folder beside the running program; empty when the program's path is unknown.
Path PatchFolderBesideProgram();

}  // namespace tvl
