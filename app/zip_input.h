// An IWAD inside a zip archive as the window's input: the archive's WAD entries, the user's choice
// among several, and the chosen entry unpacked into a temporary file, which is what is identified
// and converted. The archive itself is only ever read.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "catalogue/identify.h"
#include "platform/write_beside.h"

namespace tvl {

// An archive's entry, unpacked; the copy is removed when this goes.
struct ZipInput {
  Path archive;       // as the user named it
  std::string entry;  // the entry's name in the archive, UTF-8
  TempFile unpacked;  // the entry's bytes, in the temporary folder
  // Open for reading while the window shows the entry: nobody may write the copy meanwhile, and
  // the clean-up before a conversion, which takes only files open nowhere, never takes it for a
  // leftover. Declared after the copy, so it is closed before the copy is removed.
  File hold;
};

enum class ZipOpenStatus {
  kUnpacked,
  kFailed,     // `reason` says why
  kNotChosen,  // the user backed out of choosing a WAD file
};

struct ZipOpenResult {
  ZipOpenStatus status = ZipOpenStatus::kFailed;
  std::unique_ptr<ZipInput> input;  // for kUnpacked
  FileDigest digest;                // of the unpacked bytes, for kUnpacked
  std::wstring reason;              // for kFailed: a sentence for the identification error
};

// Reads the directory of the archive at `archive`, asks the user (over `window`) which WAD file to
// open when it holds several, and unpacks that one into a temporary file made through the UI
// calls, hashing it on the way. No temporary file is left unless the result holds it. A `wanted`
// entry (UTF-8), chosen already elsewhere, is opened without asking while the archive holds it.
ZipOpenResult OpenZipInput(HWND window, const Path& archive, const std::string& wanted = {});

// The start of the name suggested for a result converted from `entry`: its file name without the
// folders inside the archive or the extension ("DOOM2" for "iwads/DOOM2.WAD"), with characters
// Windows refuses in names replaced by '_'.
std::wstring EntryStem(const std::string& entry);

}  // namespace tvl
