// Why a patch run failed, and the line a program prints for it.
#pragma once

#include <string>
#include <string_view>

#include "platform/file.h"

namespace tvl {

enum class ApplyFailure {
  kNone,
  kOpenInput,     // the source file can't be opened
  kCreateOutput,  // the output file can't be created
  kNoPatch,       // the patch directory has no stream of that name
  kDecode,        // the decoder refused the patch or the source; `message` says why
  kWrite,         // writing, closing or putting the output in place failed
  kReadInput,     // the source failed to read (`file_error` says why) or changed meanwhile
  kReadPatch,     // a patch file failed to read; `file_error` says why
  kStopped,       // the caller's window callback asked to stop
};

// `message` is static text: the decoder's own (for example "target window checksum mismatch" or
// "eof in decode") for kDecode, a short description otherwise.
struct ApplyError {
  ApplyFailure failure = ApplyFailure::kNone;
  const char* message = nullptr;
  FileError file_error = 0;  // the system's error number for kOpenInput, kCreateOutput, kWrite
};

// Sets `*error` (when given) and returns false. Not named Fail: that is the decoder's helper.
bool FailApply(ApplyError* error, ApplyFailure failure, const char* message,
               FileError file_error = 0);

// The applier's diagnostic for a failure to open a file or find or read the patch, in its fixed
// wording and without a line break: "Couldn't open for read: <input>", "Couldn't open for write:
// <output>", "Couldn't open patch data: <patch>" or "Couldn't read patch data: <patch>". Empty
// for any other failure, which the applier reports only through `error`. `patch` names the
// patch (UTF-8).
std::string ApplyPatchDiagnostic(const ApplyError& error, const Path& input, std::string_view patch,
                                 const Path& output);

// One line describing any failure, without a line break: the diagnostic above followed by the
// system's reason in parentheses, or the decoder's message for kDecode.
std::string DescribeApplyError(const ApplyError& error, const Path& input, std::string_view patch,
                               const Path& output);

}  // namespace tvl
