// libFuzzer target: one arbitrary patch decoded as the programs decode it, by DecodeToFile, with
// the source and the output in files and the patch in memory or in a file, and the same patch
// decoded by DecodeInMemory. The files are kept in memory (memfds) and opened by their /proc
// paths like any other file, so the chunk refills, the source's view or its read-ahead, the
// window writes and the output bound all run as they do for a user.
//
// Input layout (missing bytes count as 0):
//   byte 0      source block size when the source is read: 1 << (byte % 16), plus 1 when bit 4
//               is set (raised to a power of two by the reader)
//   byte 1      source length (0 to 255 bytes, taken from the input after the 8 option bytes)
//   byte 2      patch piece size: 0 is the programs' (kPatchPieceSize), else 1 to 255 bytes
//   byte 3      bit 0: read the source instead of viewing it; bit 1: the patch in a file;
//               bit 2: bound the output by byte 5, else by the programs' ReleaseOutputLimit;
//               bits 3-4: a file operation to fail (none, read, write, close); bit 5: the failed
//               read finds the end of the file instead
//   byte 4      which operation of that kind fails (1-based; 0: none)
//   byte 5      the output bound, in 256-byte units
//   byte 6      stop the run once this many windows are written (0: never)
//   byte 7      unused
//   then        the source bytes, then the patch.
//
// Besides the sanitizers' checks, the two decoders must agree: the same windows and the same
// end, the file's run stopping only where its bound, its stop, or its failed file operation says,
// with exactly the windows before that in the output. A failure that reaches no file operation
// must be the decoder's, with the decoder's message.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/capped_alloc.h"
#include "patching/decode_to_file.h"
#include "platform/file_faults.h"
#include "vcdiff/adler32.h"
#include "vcdiff/decode_memory.h"

namespace {

constexpr size_t kOptionBytes = 8;

struct Options {
  uint64_t block_size = 1;
  size_t piece_size = 0;
  bool read_source = false;
  bool patch_in_file = false;
  uint64_t output_limit = tvl::kNoOutputLimit;
  tvl::FileOp fault_op = tvl::FileOp::kRead;
  uint64_t fault_nth = 0;
  bool fault_end_of_file = false;
  size_t stop_after = 0;
};

// The three in-memory files, made once and rewritten for each input.
struct MemoryFile {
  int fd;
  std::string path;
};

MemoryFile MakeMemoryFile(const char* name) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) std::abort();
  return {fd, "/proc/self/fd/" + std::to_string(fd)};
}

void Rewrite(const MemoryFile& file, const uint8_t* data, size_t size) {
  if (ftruncate(file.fd, 0) != 0) std::abort();
  if (size != 0 && pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
}

std::vector<uint8_t> ReadAll(const MemoryFile& file) {
  const off_t size = lseek(file.fd, 0, SEEK_END);
  if (size < 0) std::abort();
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size != 0 && pread(file.fd, bytes.data(), bytes.size(), 0) != size) std::abort();
  return bytes;
}

struct Window {
  uint64_t size;
  uint32_t adler;
  bool operator==(const Window&) const = default;
};

// Windows can be 64 MiB each; their checksums are enough to compare two runs.
void TakeWindow(void* opaque, const uint8_t* data, uint64_t size) {
  static_cast<std::vector<Window>*>(opaque)->push_back({size, tvl::Adler32(1, data, size)});
}

// How many of `expected`, from the first, the output holds (abort unless it is exactly some of
// them): empty windows leave no trace in the file, so a count can lie within a range.
struct WrittenWindows {
  size_t low = 0, high = 0;
  bool Holds(size_t count) const { return low <= count && count <= high; }
};

WrittenWindows WindowsWritten(const std::vector<uint8_t>& output,
                              const std::vector<Window>& expected) {
  uint64_t at = 0;
  size_t count = 0;
  for (; at < output.size(); ++count) {
    if (count == expected.size() || expected[count].size > output.size() - at) std::abort();
    if (tvl::Adler32(1, output.data() + at, expected[count].size) != expected[count].adler) {
      std::abort();
    }
    at += expected[count].size;
  }
  WrittenWindows written{count, count};
  while (written.high < expected.size() && expected[written.high].size == 0) ++written.high;
  return written;
}

// How many of `windows`, from the first, fit within `limit`.
size_t WindowsWithin(const std::vector<Window>& windows, uint64_t limit) {
  size_t count = 0;
  for (uint64_t total = 0; count < windows.size(); ++count) {
    if (windows[count].size > limit - total) break;
    total += windows[count].size;
  }
  return count;
}

Options ReadOptions(const uint8_t* bytes, size_t source_size) {
  Options options;
  options.block_size = (uint64_t{1} << (bytes[0] % 16)) + ((bytes[0] >> 4) & 1);
  options.piece_size = bytes[2];
  options.read_source = (bytes[3] & 1) != 0;
  options.patch_in_file = (bytes[3] & 2) != 0;
  options.output_limit =
      (bytes[3] & 4) != 0 ? uint64_t{bytes[5]} * 256 : tvl::ReleaseOutputLimit(source_size);
  constexpr tvl::FileOp kFaults[] = {tvl::FileOp::kRead, tvl::FileOp::kRead, tvl::FileOp::kWrite,
                                     tvl::FileOp::kClose};
  const int fault = (bytes[3] >> 3) & 3;
  options.fault_op = kFaults[fault];
  options.fault_nth = fault == 0 ? 0 : bytes[4];
  options.fault_end_of_file = (bytes[3] & 0x20) != 0;
  options.stop_after = bytes[6];
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MemoryFile source_file = MakeMemoryFile("source");
  static const MemoryFile patch_file = MakeMemoryFile("patch");
  static const MemoryFile output_file = MakeMemoryFile("output");

  uint8_t option_bytes[kOptionBytes] = {};
  const size_t header = std::min(size, kOptionBytes);
  if (header != 0) std::memcpy(option_bytes, data, header);
  const size_t source_size = std::min<size_t>(option_bytes[1], size - header);
  const Options options = ReadOptions(option_bytes, source_size);
  const uint8_t* source = data + header;
  const uint8_t* patch = source + source_size;
  const size_t patch_size = size - header - source_size;

  // The decoder's own run: a view is one block of the whole source, rounded up as the view's is.
  const tvl::DecodeConfig config = tvl::fuzz::CappedConfig();
  tvl::MemoryDecodeOptions memory;
  memory.block_size =
      options.read_source ? options.block_size : std::bit_ceil(uint64_t{source_size});
  memory.pieces = {options.piece_size == 0 ? tvl::kPatchPieceSize : options.piece_size};
  memory.config = &config;
  std::vector<Window> expected;
  memory.sink = TakeWindow;
  memory.sink_opaque = &expected;
  const tvl::DecodeResult in_memory =
      tvl::DecodeInMemory({patch, patch_size}, {source, source_size}, memory);
  if (in_memory.message == tvl::kDecoderProtocolBroken) std::abort();

  // The programs' run.
  Rewrite(source_file, source, source_size);
  Rewrite(patch_file, patch, patch_size);
  Rewrite(output_file, nullptr, 0);
  tvl::FileFaultPlan plan;
  plan.op = options.fault_op;
  plan.nth = options.fault_nth;
  plan.error = 5;  // EIO
  plan.end_of_file = options.fault_end_of_file;
  std::vector<uint64_t> told;
  tvl::DecodeControl control;
  control.output_limit = options.output_limit;
  control.window_written = [&](size_t window_size) {
    told.push_back(window_size);
    return options.stop_after == 0 || told.size() < options.stop_after;
  };
  tvl::ApplyError error;
  bool decoded = false;
  {
    tvl::File input = tvl::File::OpenForRead(source_file.path);
    tvl::File output = tvl::File::CreateForWrite(output_file.path);
    tvl::File patch_input = tvl::File::OpenForRead(patch_file.path);
    if (!input.is_open() || !output.is_open() || !patch_input.is_open()) std::abort();
    tvl::PatchInput patch_bytes{{patch, patch_size}};
    if (options.patch_in_file) patch_bytes = {{}, &patch_input};
    tvl::SourceReading reading;
    reading.access = options.read_source ? tvl::SourceAccess::kRead : tvl::SourceAccess::kMapped;
    reading.block_size = options.block_size;
    tvl::ScopedFileFaultPlan installed(&plan);
    decoded =
        tvl::DecodeToFile(input, patch_bytes, output, options.piece_size, control, &error, reading);
  }
  const std::vector<uint8_t> output = ReadAll(output_file);

  // Every window told was written, in order, with its size: the decoder's first ones. One more
  // may be written when the run ends before it was told, once the writer finished it.
  if (told.size() > expected.size()) std::abort();
  for (size_t i = 0; i < told.size(); ++i) {
    if (told[i] != expected[i].size) std::abort();
  }
  const WrittenWindows written = WindowsWritten(output, expected);
  if (written.high < told.size()) std::abort();
  const bool told_or_pending = written.low <= told.size() + 1;

  const size_t within = WindowsWithin(expected, options.output_limit);
  if (decoded) {
    if (plan.hit || in_memory.status != 0 || within != expected.size()) std::abort();
    if (told.size() != expected.size() || !written.Holds(expected.size())) std::abort();
    if (options.stop_after != 0 && told.size() >= options.stop_after) std::abort();
    return 0;
  }
  if (error.message == nullptr || *error.message == '\0') std::abort();  // says why
  switch (error.failure) {
    case tvl::ApplyFailure::kStopped:
      // Told of the window, which is written, and nothing after it.
      if (options.stop_after == 0 || told.size() != options.stop_after) std::abort();
      if (!written.Holds(told.size())) std::abort();
      break;
    case tvl::ApplyFailure::kDecode:
      if (std::strcmp(error.message, tvl::kOutputLimitMessage) == 0) {
        // Refused before any of the window that would pass the bound was written.
        if (within == expected.size() || !written.Holds(within) || !told_or_pending) std::abort();
      } else {
        // The decoder's own refusal: the same as in memory, after the same windows.
        if (in_memory.status == 0 || in_memory.message != error.message) std::abort();
        if (within != expected.size() || !written.Holds(expected.size())) std::abort();
      }
      break;
    case tvl::ApplyFailure::kReadPatch:
    case tvl::ApplyFailure::kReadInput:
      // Only a failed or shortened read: the files in memory stay as they were.
      if (!plan.hit || options.fault_op != tvl::FileOp::kRead || !told_or_pending) std::abort();
      if (options.fault_end_of_file != (error.file_error == 0)) std::abort();
      break;
    case tvl::ApplyFailure::kWrite:
      if (!plan.hit || options.fault_op == tvl::FileOp::kRead || !told_or_pending) std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}
