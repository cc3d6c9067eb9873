// Files as players keep them: an IWAD inside a zip archive. Naming an entry of an archive,
// telling which entries are game files, and unpacking one into a temporary file, from which it
// is identified and converted like any other file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/identify.h"
#include "platform/write_beside.h"
#include "zip/zip_directory.h"

namespace tvl {

// Whether the file starts as a zip archive does ("PK\3\4"). False for files that can't be read.
bool IsZipFile(const Path& path);

// Whether `path` names a zip archive by its name: *.zip, in any case.
bool HasZipName(const Path& path);

// Whether the programs look into `path` as a zip archive: named *.zip, or a regular file starting
// as a zip does ("PK\3\4"). A file named *.ipk3 or *.pk3 is zipped game data in its own right and
// is identified whole. False, with the system's reason, when the first bytes can't be read: a file
// that can't be opened is reported as such, not taken for one that is no archive.
bool OpensAsArchive(const Path& path, bool* archive, FileError* error);

// Whether an entry is a game file by its name: a file whose name ends in ".wad", ".iwad" or
// ".ipk3", in any case. Readmes, folders and the like are not.
bool IsWadEntry(const ZipEntry& entry);

// The entries of `directory` that are game files, in the directory's order.
std::vector<const ZipEntry*> WadEntries(const ZipDirectory& directory);

// An archive entry as one text: the archive's path as given, "//", and the entry's name, for
// example "iwads/doom2.zip//DOOM2.WAD". The first "//" splits it: the archive's path is written
// in its normal form, which never holds "//".
inline constexpr std::string_view kZipEntrySeparator = "//";
std::string ZipEntryLabel(const Path& archive, const std::string& entry);

// Reads the directory of the archive at `path`. False, with the report filled, otherwise.
bool ReadZipFile(const Path& path, ZipDirectory* directory, ZipReport* report);

// Unpacks `entry` of the archive at `archive` into a new temporary file in `folder` (made by
// `make_temp`, MakeTempFile when empty) and gives it in `*unpacked`; `*digest`, when given, gets
// the SHA-1 of the unpacked bytes, hashed as they are written, so the file needn't be read
// again to identify it. On failure no file is left and `*unpacked` is empty. The temporary file
// goes when `*unpacked` does.
bool UnpackZipEntry(const Path& archive, const ZipEntry& entry, const Path& folder,
                    const TempFileMaker& make_temp, TempFile* unpacked, FileDigest* digest,
                    ZipReport* report);

}  // namespace tvl
