// The patch command's work, free of any window: convert an identified release into another
// release of its game through one patch or two via the base, verify the result against the
// catalogue, and put it in place without ever leaving the user without a complete file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "patching/apply_error.h"
#include "platform/file.h"
#include "platform/write_beside.h"

namespace tvl {

enum class ConvertStatus {
  kConverted,      // the output holds the verified target release
  kNoRoute,        // identification-only release, another game, or the same release
  kTempFailed,     // a temporary file could not be made
  kPatchFailed,    // a step of the route failed (`apply_error` and `failed_patch` say which)
  kVerifyFailed,   // the result's SHA-1 is not the target's: wrong or changed input
  kCannotReplace,  // the output (the input, in place) may not be replaced: read-only or locked
  kReplaceFailed,  // moving the result onto its path failed; the old file there is untouched
  kCancelled,      // the progress callback asked to stop; nothing was left behind
};

struct ConvertReport {
  ConvertStatus status = ConvertStatus::kConverted;
  ApplyError apply_error;  // for kPatchFailed: the failed step, its patch and files
  std::u16string failed_patch;
  // The folder file (or pack entry, as RunTimePatch::Label names it) the failed step's patch
  // came from, or could not be read from; empty for a built-in patch and for one found nowhere.
  Path patch_file;
  // The files read from the patch folder, in route order: for kVerifyFailed, the suspects.
  std::vector<Path> folder_patches;
  // The step's files as the user knows them: the output, not the temporary file the result is
  // written to first.
  Path step_input, step_output;
  // For kTempFailed: the folder the temporary file was to be made in.
  Path temp_folder;
  // For kTempFailed, kCannotReplace and kReplaceFailed, and for kVerifyFailed when the result
  // could not be read back.
  FileError file_error = 0;
};

// Finds a patch stream by name, as FindPatch does. Tests may hand in patches of their own.
using PatchFinder =
    std::function<bool(const char16_t* name, const uint8_t** data, uint32_t* length)>;

// Told the bytes written so far and the bytes expected (an estimate: each step's output is taken
// to be as large as the input), once per decoded window. Returning false stops the conversion.
using ConvertProgress = std::function<bool(uint64_t written, uint64_t expected)>;

struct ConvertRequest {
  Path input;       // a file identified as release `source`
  int source = -1;  // catalogue indices
  int target = -1;
  Path output;       // where the result goes; the input's own path converts in place
  Path temp_folder;  // for the intermediate base release of a two-step route
  TempFileMaker make_temp;
  PatchFinder find_patch;    // empty: the built-in patch directory
  ConvertProgress progress;  // empty: no reports, no stopping
  // Called once the result is complete and verified, just before it takes its place; returning
  // false stops the conversion there, with nothing changed. Empty: it goes on.
  std::function<bool()> commit;
  // A folder of "<name>.vcdiff" files and patch packs, or one pack, for the patches that the
  // built-in directory (or `find_patch`) lacks; empty: none. Its files are untrusted like any
  // input.
  Path patch_folder;
  // Checks the result by hashing it as it is decoded instead of reading it back. For storage the
  // program holds itself (the page's), where a read-back only repeats what was written; a file on
  // disk is read back, which also catches what the disk got wrong.
  bool verify_as_decoded = false;
};

// The first patch of the route that the request's patch finder lacks; empty when all are there
// (or there is no route, which ConvertRelease reports itself).
std::u16string FirstMissingPatch(const ConvertRequest& request);

// Runs the route. The result is written to a temporary file beside `output`, checked against the
// target's digest and only then moved onto `output` in one step, so a failure leaves no partial
// file at `output` and whatever was there before (the input itself, in place) stays whole. Every
// temporary file is removed, on success and on failure.
ConvertReport ConvertRelease(const ConvertRequest& request);

// One line for a failed report, for command-line use.
std::string DescribeConvertFailure(const ConvertReport& report, const ConvertRequest& request);

}  // namespace tvl
