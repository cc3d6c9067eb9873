#include "patching/convert.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "catalogue/sha1.h"
#include "patches/patch_directory.h"
#include "patches/patch_folder.h"
#include "patching/apply_patch.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/write_beside.h"

namespace tvl {
namespace {

// The request's own patch finder, or the built-in directory.
bool LookUpPatch(const PatchFinder& find_patch, const std::u16string& name, const uint8_t** data,
                 uint32_t* length) {
  return find_patch ? find_patch(name.c_str(), data, length)
                    : FindPatch(name.c_str(), data, length);
}

// A patch, above all one from the folder, can't make a step write more than a release pair could.
uint64_t StepOutputLimit(const Path& input) {
  std::error_code error;
  const uint64_t size = std::filesystem::file_size(input, error);
  return ReleaseOutputLimit(error ? 0 : size);  // an input that can't be sized fails to open
}

// A patch the built-in directory lacks is read from the folder or pack; `patch_file` is then set
// to the file (a pack's entry as Label names it), unless there is none.
bool ApplyStep(const Path& input, const std::u16string& name, const Path& output,
               const ConvertRequest& request, DecodeControl control, Path* patch_file,
               ApplyError* error) {
  control.output_limit = StepOutputLimit(input);
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  if (LookUpPatch(request.find_patch, name, &data, &length)) {
    return ApplyPatchBytes(input, std::span<const uint8_t>(data, length), output, kPatchPieceSize,
                           error, control);
  }
  RunTimePatch found;
  if (!FindRunTimePatch(request.patch_folder, name, &found)) {
    return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data");
  }
  std::vector<uint8_t> bytes;
  FileError file_error = 0;
  *patch_file = found.Label();
  switch (ReadRunTimePatch(found, &bytes, &file_error)) {
    case FolderPatchStatus::kRead:
      return ApplyPatchBytes(input, bytes, output, kPatchPieceSize, error, control);
    case FolderPatchStatus::kAbsent:
      return FailApply(error, ApplyFailure::kNoPatch, "Couldn't open patch data");
    case FolderPatchStatus::kTooLarge:
      return FailApply(error, ApplyFailure::kNoPatch,
                       "larger than any patch (over 256 MiB), not read");
    case FolderPatchStatus::kDamaged:
      return FailApply(error, ApplyFailure::kNoPatch, "damaged in its patch pack");
    case FolderPatchStatus::kUnreadable:
      return FailApply(error, ApplyFailure::kNoPatch,
                       "stored in its patch pack with compression or encryption Tarvelline "
                       "can't read; re-zip the pack with ordinary deflate and no password");
    case FolderPatchStatus::kReadFailed:
      break;
  }
  return FailApply(error, ApplyFailure::kNoPatch, "cannot read the patch file", file_error);
}

// A folder patch's file leads whatever went wrong with the patch itself, so that a damaged file
// can be found; the user's own files lead failures to open or write them.
std::string DescribePatchFailure(const ConvertReport& report, const ConvertRequest& request) {
  const ApplyError& error = report.apply_error;
  const std::string name = Narrow(report.failed_patch);
  const bool patch_at_fault =
      error.failure == ApplyFailure::kDecode || error.failure == ApplyFailure::kNoPatch;
  if (!report.patch_file.empty() && patch_at_fault) {
    std::string text = PathToUtf8(report.patch_file) + ": ";
    text += error.message ? error.message : "patching failed";
    if (error.file_error != 0) text += " (" + DescribeFileError(error.file_error) + ")";
    return text;
  }
  std::string text = DescribeApplyError(error, report.step_input, name, report.step_output);
  if (error.failure == ApplyFailure::kNoPatch && !request.patch_folder.empty()) {
    text += " (not built in, and not in " + PathToUtf8(request.patch_folder) + ")";
  }
  return text;
}

ConvertReport ReportOf(ConvertStatus status, FileError error = 0) {
  ConvertReport report;
  report.status = status;
  report.file_error = error;
  return report;
}

ConvertReport TempFailed(const Path& folder, FileError error) {
  ConvertReport report = ReportOf(ConvertStatus::kTempFailed, error);
  report.temp_folder = folder;
  return report;
}

}  // namespace

ConvertReport ConvertRelease(const ConvertRequest& request) {
  if (request.source < 0 || request.source >= kIwadCount || request.target < 0 ||
      request.target >= kIwadCount) {
    return ReportOf(ConvertStatus::kNoRoute);
  }
  const IwadRecord& target = GetIwad(request.target);
  std::vector<std::u16string> route = FindPatchRoute(GetIwad(request.source), target);
  if (route.empty()) return ReportOf(ConvertStatus::kNoRoute);

  // The result is written beside the output; a read-only output (the input itself, in place)
  // fails here with nothing written, on every system alike.
  FileError error = 0;
  WriteBeside result;
  switch (result.Begin(request.output, &error, request.make_temp)) {
    case BesideStart::kReady:
      break;
    case BesideStart::kCannotReplace:
      return ReportOf(ConvertStatus::kCannotReplace, error);
    case BesideStart::kNoTempFile:
      return TempFailed(result.folder(), error);
  }
  TempFile intermediate;
  if (route.size() == 2) {
    intermediate.Reset(MakeTempFileWith(request.make_temp, request.temp_folder, &error));
    if (intermediate.empty()) return TempFailed(request.temp_folder, error);
  }

  // Each step's output is expected to be about as large as the input: releases of one game differ
  // by little, and the estimate only drives a progress bar.
  std::error_code size_error;
  const uint64_t input_size = std::filesystem::file_size(request.input, size_error);
  const uint64_t expected = size_error ? 0 : input_size * route.size();
  uint64_t written = 0;
  WindowWritten window_written;
  if (request.progress) {
    window_written = [&](size_t window_size) {
      written += window_size;
      return request.progress(written, std::max(written, expected));
    };
  }

  Sha1Context result_hash;
  Sha1Init(&result_hash);
  Path step_input = request.input;
  std::vector<Path> folder_patches;
  for (size_t step = 0; step < route.size(); ++step) {
    const bool last = step + 1 == route.size();
    const Path& step_output = last ? result.temp_path() : intermediate.path();
    DecodeControl control{kNoOutputLimit, window_written, {}};
    if (last && request.verify_as_decoded) {
      control.window_decoded = [&](std::span<const uint8_t> window) {
        Sha1Update(&result_hash, window.data(), window.size());
      };
    }
    ApplyError apply_error;
    Path patch_file;
    if (!ApplyStep(step_input, route[step], step_output, request, std::move(control), &patch_file,
                   &apply_error)) {
      if (apply_error.failure == ApplyFailure::kStopped) return ReportOf(ConvertStatus::kCancelled);
      // A source that no longer matches its release fails the window checksums: say what happened.
      if (step == 0 && apply_error.failure == ApplyFailure::kDecode) {
        FileDigest digest = Sha1OfFile(request.input);
        if (digest.complete && FormatDigest(digest.bytes) != GetIwad(request.source).sha1_hex) {
          return ReportOf(ConvertStatus::kVerifyFailed);
        }
      }
      ConvertReport report = ReportOf(ConvertStatus::kPatchFailed);
      report.apply_error = apply_error;
      report.failed_patch = route[step];
      report.patch_file = patch_file;
      report.step_input = step_input;
      report.step_output = last ? request.output : step_output;
      return report;
    }
    if (!patch_file.empty()) folder_patches.push_back(patch_file);
    step_input = step_output;
  }

  // The checksums catch a damaged patch or source window by window; this catches everything,
  // including an input that changed after it was identified.
  FileDigest digest;
  if (request.verify_as_decoded) {
    Sha1Final(&result_hash, digest.bytes);
    digest.complete = true;
  } else {
    digest = Sha1OfFile(result.temp_path());
  }
  if (!digest.complete || FormatDigest(digest.bytes) != target.sha1_hex) {
    ConvertReport report = ReportOf(ConvertStatus::kVerifyFailed, digest.error);
    report.folder_patches = std::move(folder_patches);
    return report;
  }
  // The last chance to stop: after the move the output is the target release.
  if ((request.progress && !request.progress(expected, expected)) ||
      (request.commit && !request.commit())) {
    return ReportOf(ConvertStatus::kCancelled);
  }
  if (!result.PutInPlace(&error)) return ReportOf(ConvertStatus::kReplaceFailed, error);
  return {};
}

std::u16string FirstMissingPatch(const ConvertRequest& request) {
  if (request.source < 0 || request.source >= kIwadCount || request.target < 0 ||
      request.target >= kIwadCount) {
    return {};
  }
  for (const std::u16string& name :
       FindPatchRoute(GetIwad(request.source), GetIwad(request.target))) {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (LookUpPatch(request.find_patch, name, &data, &length)) continue;
    if (!request.patch_folder.empty() &&
        LocatePatch(name, request.patch_folder) == PatchOrigin::kFolder) {
      continue;
    }
    return name;
  }
  return {};
}

std::string DescribeConvertFailure(const ConvertReport& report, const ConvertRequest& request) {
  switch (report.status) {
    case ConvertStatus::kConverted:
      return "converted";
    case ConvertStatus::kNoRoute:
      return "no conversion between these releases";
    case ConvertStatus::kTempFailed:
      return "cannot create a temporary file: " + DescribeFileError(report.file_error);
    case ConvertStatus::kPatchFailed:
      return "patch " + Narrow(report.failed_patch) +
             " failed: " + DescribePatchFailure(report, request);
    case ConvertStatus::kVerifyFailed: {
      if (report.file_error != 0) {
        return "cannot read the result back to verify it: " + DescribeFileError(report.file_error);
      }
      if (report.folder_patches.empty()) {
        return "the result is not the target release (was the input changed after it was "
               "identified?)";
      }
      // A patch from the folder is the likelier culprit: it may be another patch renamed.
      std::string files;
      for (const Path& file : report.folder_patches) {
        files += (files.empty() ? "" : " or ") + PathToUtf8(file);
      }
      return "the result is not the target release (was the input changed after it was "
             "identified, or is " +
             files + " not the patch its name says?)";
    }
    case ConvertStatus::kCannotReplace:
      return "cannot replace " + PathToUtf8(request.output) + ": " +
             DescribeFileError(report.file_error);
    case ConvertStatus::kReplaceFailed:
      return "cannot move the result to " + PathToUtf8(request.output) + ": " +
             DescribeFileError(report.file_error);
    case ConvertStatus::kCancelled:
      return "stopped";
  }
  return "unknown failure";
}

}  // namespace tvl
