// Zipped IWADs on the command line: which files are looked into as zip archives, which WAD entry
// of one a command works on, and that entry unpacked into a temporary file, from which it is
// identified and converted like any other file.
#pragma once

#include <string>

#include "catalogue/identify.h"
#include "platform/write_beside.h"
#include "zip/zip_directory.h"
#include "zip/zipped_file.h"

namespace tvl::cli {

// The WAD entry of `directory` a command works on: the one named `wanted` (exactly), or without
// it the archive's only WAD entry. Null, with `*error` saying why and naming the choices, when
// there is none or more than one to choose from. `archive` is the archive as the user gave it.
const ZipEntry* ChooseWadEntry(const ZipDirectory& directory, const std::string& archive,
                               const std::string* wanted, std::string* error);

// Unpacks `entry` into a new temporary file in TempFolder(), hashing it on the way. False, with
// `*error` the sentence to report and no file left, when the entry can't be read or written.
bool UnpackWadEntry(const Path& archive, const std::string& archive_display, const ZipEntry& entry,
                    TempFile* unpacked, FileDigest* digest, std::string* error);

// The file convert and targets work on: the file named, or one WAD entry of a zip archive
// unpacked.
struct InputFile {
  Path path;          // the bytes to read: the file itself, or the unpacked entry
  std::string label;  // for messages: the file as given, or ARCHIVE//ENTRY
  bool zipped = false;
  TempFile unpacked;  // the unpacked entry, removed with this record
  FileDigest digest;  // of the bytes at `path`
};

// Tells whether `arg`, as convert and targets take it, is a zip archive (OpensAsArchive). False,
// after printing why, when it can't be read.
bool ProbeInputFile(const std::string& arg, bool* archive);

// Opens `arg`, which ProbeInputFile found to be an `archive` or not: a file is hashed; an
// archive's WAD entry (its only one, or `entry` when given) is unpacked and hashed on the way.
// False, after printing why, when it can't be read, holds no such entry, or `entry` is given for
// a file that is no archive.
bool OpenInputFile(const std::string& arg, bool archive, const std::string* entry,
                   InputFile* input);

}  // namespace tvl::cli
