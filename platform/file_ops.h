// Whole-file operations the conversion needs besides reading and writing: temporary files,
// removal and the replacement of one file by another.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace tvl {

// The folder that holds `path`: its parent, or "." for a bare file name.
Path FolderOf(const Path& path);

// The user's folder for temporary files.
Path TempFolder();

// Creates a new, empty file with a unique name in `folder` and returns its path; an empty path
// on failure. The name is always "Tarvelline-", a random part and ".tmp", so that files left
// behind by a crash can be recognised as ours; keep that pattern when changing the scheme.
Path MakeTempFile(const Path& folder, FileError* error = nullptr);

// Whether `name` (a file name, no folder) has the form MakeTempFile gives its files.
bool IsOurTempFileName(const Path& name);

// Temporary files of ours younger than this may belong to a conversion that is still running.
inline constexpr int kLeftoverTempSeconds = 120;

// The temporary files a killed run may have left in `folder`: files named as MakeTempFile names
// them, last written over kLeftoverTempSeconds ago and (where the system can tell) open nowhere.
std::vector<Path> FindLeftoverTempFiles(const Path& folder);

// Earlier versions swapped two files on Windows in two moves, beside the old file `<name>`:
// "<name>.tarvelline-new" named the new file, and "<name>.tarvelline-backup" the old one for the
// moment it made way. A run killed in between left them, and either may be the user's only copy:
// the clean-up still looks for both.
inline constexpr char kSwapNewSuffix[] = ".tarvelline-new";
inline constexpr char kSwapBackupSuffix[] = ".tarvelline-backup";

// `path` with `suffix` added to its name, or, while that is taken, with "-2", "-3"... after it.
// Empty when no such name is free.
Path FreeSiblingPath(const Path& path, std::string_view suffix);

// The file `<name>` that `name_with_suffix` ("<name><suffix>", or "<name><suffix>-N" as
// FreeSiblingPath makes it) was named after; empty when it has no such form.
Path SiblingOrigin(const Path& name_with_suffix, std::string_view suffix);

// Moves `from` to `to` only if nothing is at `to`. True when it moved.
bool MoveFileNoReplace(const Path& from, const Path& to, FileError* error = nullptr);

// Deletes a file. True when it was deleted.
bool RemoveFile(const Path& path, FileError* error = nullptr);

// Whether the file at `path` may be replaced: false, with the reason, for a read-only file or
// one that another program holds open without letting it be deleted.
bool CanReplaceFile(const Path& path, FileError* error = nullptr);

// Moves `from` onto `to` in one step, replacing any file there, and has the move reach the
// disk before returning: at every instant `to` holds the old file or all of the new one. On
// failure both files stay as they were. A replaced file's permissions (POSIX), or its attributes
// and creation time (Windows), go to the new one.
bool MoveFileReplacing(const Path& from, const Path& to, FileError* error = nullptr);

// Reads a whole file into `bytes`. False, with the reason, when it cannot be opened or read.
bool ReadWholeFile(const Path& path, std::vector<uint8_t>* bytes, FileError* error = nullptr);

// Writes `bytes` to `path` through WriteBeside: `path` either keeps what it held or holds all of
// `bytes`. An existing file that may not be replaced (read-only, locked) is left alone.
bool WriteWholeFile(const Path& path, std::span<const uint8_t> bytes, FileError* error = nullptr);

// True when both paths name the same existing file.
bool SameFile(const Path& a, const Path& b);

}  // namespace tvl
