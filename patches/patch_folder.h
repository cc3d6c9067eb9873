// Patches from a folder at run time: "<name>.vcdiff" files that stand in for streams the
// built-in store lacks, so patches made with build-store need no rebuild of the program. A patch
// source is such a folder, or a patch pack (a zip archive of such files, patches/patch_pack.h);
// a folder's packs are sources too.
#pragma once

#include <cstdint>
#include <string>
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
  kDamaged,     // a pack's entry (or the pack) is damaged
  kUnreadable,  // a pack's entry is stored in a way we don't read (method, encryption)
};

// Reads the patch file `file` into `bytes` (emptied on every status but kRead). The bytes are
// untrusted: the decoder checks them as it goes, and the result's digest is checked after.
FolderPatchStatus ReadFolderPatch(const Path& file, std::vector<uint8_t>* bytes,
                                  FileError* error = nullptr);

// A patch found at run time: a "<name>.vcdiff" file, or such an entry of a pack.
struct RunTimePatch {
  Path file;          // the patch file, or the pack
  std::string entry;  // the pack's entry; empty for a patch file
  // How messages name it: the file, or the pack's path with the entry after it.
  Path Label() const;
};

// Finds the patch `name` in `source`: in a folder its "<name>.vcdiff" file first, then each
// "*.zip" pack in it, in the order of their names; in a pack file, its entry. False when none has
// it.
bool FindRunTimePatch(const Path& source, std::u16string_view name, RunTimePatch* found);

// Reads the patch found whole into `bytes` (emptied on every status but kRead).
FolderPatchStatus ReadRunTimePatch(const RunTimePatch& patch, std::vector<uint8_t>* bytes,
                                   FileError* error = nullptr);

// Where the patch `name` would come from: the built-in store wins over the source (a folder or a
// pack, see FindRunTimePatch; empty for none).
enum class PatchOrigin { kBuiltIn, kFolder, kMissing };
PatchOrigin LocatePatch(std::u16string_view name, const Path& source);

// The "patches" folder beside the running program; empty when the program's path is unknown.
Path PatchFolderBesideProgram();

}  // namespace tvl
