#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "patching/decode_to_file.h"

#include "patching/source_blocks.h"
#include "patching/window_writer.h"
#include "platform/file_view.h"
#include "platform/large_buffer.h"
#include "vcdiff/decode_driver.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

// The configuration the patches have always been applied with. No decoding step reads either
// value, so decoding runs on the defaults and asks for source blocks through kStatusNeedBlock.
constexpr uint64_t kConfigWindowSize = 4096;
constexpr uint32_t kConfigFlags = 0x400;

// Frees the decoder's buffers on every way out.
struct StreamHolder {
  DecodeStream stream{};
  ~StreamHolder() { FreeDecodeStream(&stream); }
};

// The decoder's buffers, its 8 MiB target window above all, which every window fills anew.
void* AllocateDecoderBuffer(void* /*opaque*/, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return AllocateLargeBuffer(count * size);
}

void FreeDecoderBuffer(void* /*opaque*/, void* buffer) { FreeLargeBuffer(buffer); }

std::unique_ptr<uint8_t[]> Allocate(size_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
}

bool FailSource(ApplyError* error, const SourceBlocks& blocks) {
  if (blocks.failure == SourceFailure::kChanged) {
    return FailApply(error, ApplyFailure::kReadInput,
                     "The input changed while it was being converted.");
  }
  return FailApply(error, ApplyFailure::kReadInput, "Couldn't read input", blocks.error);
}

// The patch, copied or read into a buffer of whole pieces: a chunk of 64 KiB serves sixteen
// pieces of 4096 bytes with one read of a patch file, and is never larger than the patch needs.
constexpr size_t kPatchChunkSize = 65536;

struct PatchChunks {
  PatchInput patch;
  uint64_t size = 0;        // an in-memory patch's, or a regular file's when the run began
  bool size_known = false;  // false for a pipe, which ends where its reads do
  uint64_t taken = 0;       // bytes copied or read so far
  std::unique_ptr<uint8_t[]> buffer;
  size_t capacity = 0;  // a whole number of pieces, or the whole patch
  size_t length = 0;    // valid bytes in `buffer`
  size_t next = 0;      // the next piece starts here
  FileError error = 0;
  bool changed = false;  // the file ended before its size: another program shortened it
};

bool InitPatchChunks(PatchChunks* chunks, PatchInput patch, size_t piece_size) {
  chunks->patch = patch;
  chunks->size = patch.bytes.size();
  chunks->size_known =
      patch.file == nullptr || FileView::RegularFileSize(*patch.file, &chunks->size);
  chunks->capacity = std::max<size_t>(1, kPatchChunkSize / piece_size) * piece_size;
  // Never more than the whole patch, whatever piece size was asked for.
  if (chunks->size_known && chunks->size < chunks->capacity) {
    chunks->capacity = static_cast<size_t>(std::max<uint64_t>(1, chunks->size));
  }
  chunks->buffer = Allocate(chunks->capacity);
  return chunks->buffer != nullptr;
}

// Refills the chunk: as many bytes as it holds, fewer only at the end of the patch.
bool FillPatchChunk(PatchChunks* chunks) {
  chunks->next = 0;
  chunks->length = 0;
  // A file that grew is read as it was, as the source is; one that shrank is caught below.
  const size_t want =
      chunks->size_known
          ? static_cast<size_t>(std::min<uint64_t>(chunks->capacity, chunks->size - chunks->taken))
          : chunks->capacity;
  if (chunks->patch.file == nullptr) {
    if (want != 0) {
      std::memcpy(chunks->buffer.get(), chunks->patch.bytes.data() + chunks->taken, want);
    }
    chunks->length = want;
  }
  while (chunks->length < want) {
    const int64_t got = chunks->patch.file->Read(chunks->buffer.get() + chunks->length,
                                                 want - chunks->length, &chunks->error);
    if (got < 0) return false;
    if (got == 0) {
      // Ending early would hand the decoder a shorter patch, which may well decode: cut between
      // windows, it gives a shorter output that looks whole.
      chunks->changed = chunks->size_known;
      if (chunks->changed) return false;
      break;
    }
    chunks->length += static_cast<size_t>(got);
  }
  chunks->taken += chunks->length;
  return true;
}

// A window is written on the writer's thread, from a second window buffer, while the next one
// decodes; only up to the built-in patches' window size, which the second buffer then costs.
constexpr uint64_t kMaxOverlappedWindow = uint64_t{8} << 20;

// Where finished windows go. The writer only ever reads `spare`, which is freed once the write
// under way is done.
struct WindowOutput {
  explicit WindowOutput(File& file) : file(file), writer(file) {}
  ~WindowOutput() {
    writer.Wait(nullptr);
    FreeDecoderBuffer(nullptr, spare);
  }
  WindowOutput(const WindowOutput&) = delete;
  WindowOutput& operator=(const WindowOutput&) = delete;

  File& file;
  uint8_t* spare = nullptr;  // the window being written, or the next one's buffer
  uint64_t spare_capacity = 0;
  WindowWriter writer;
  bool threaded = false;
  bool pending = false;  // a window is being written
  size_t pending_size = 0;
  const DecodeControl* control = nullptr;
  uint64_t written = 0;  // windows handed over, written or being written
};

// Tells the caller of a window written; false (with `error` set) when it says to stop.
bool TellWindowWritten(const WindowOutput& out, size_t size, ApplyError* error) {
  const WindowWritten& told = out.control->window_written;
  if (!told || told(size)) return true;
  return FailApply(error, ApplyFailure::kStopped, "stopped");
}

// Waits for the window being written, if any, and tells the caller it is written.
bool FinishPendingWindow(WindowOutput* out, ApplyError* error) {
  if (!out->pending) return true;
  out->pending = false;
  FileError write_error = 0;
  if (!out->writer.Wait(&write_error)) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't write output", write_error);
  }
  return TellWindowWritten(*out, out->pending_size, error);
}

// Takes the decoder's finished window: one write each; a short one (a full disk) ends the run.
bool PutWindow(DecodeStream* stream, WindowOutput* out, ApplyError* error) {
  // The window before must be out of its buffer before the decoder may fill that again.
  if (!FinishPendingWindow(out, error)) return false;
  const size_t size = static_cast<size_t>(stream->output_size);
  if (size > out->control->output_limit - out->written) {
    return FailApply(error, ApplyFailure::kDecode, kOutputLimitMessage);
  }
  out->written += size;
  if (out->control->window_decoded && size > 0) {
    out->control->window_decoded(std::span<const uint8_t>(stream->output_data, size));
  }
  if (out->threaded && size > 0 && size <= kMaxOverlappedWindow) {
    ExchangeWindowBuffer(stream, &out->spare, &out->spare_capacity);
    out->writer.Write(out->spare, size);
    out->pending = true;
    out->pending_size = size;
    return true;
  }
  // An empty window has nothing to write, and a write of nothing could only fail spuriously.
  FileError write_error = 0;
  if (size > 0 && out->file.Write(stream->output_data, size, &write_error) != size) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't write output", write_error);
  }
  stream->output_size = 0;
  return TellWindowWritten(*out, size, error);
}

// One call of the decoder, made where a fault in the source's view can cut it short.
struct DecodeStep {
  DecodeStream* stream;
  int status;
};

void RunDecodeStep(void* step) {
  auto* call = static_cast<DecodeStep*>(step);
  call->status = DecodeInput(call->stream);
}

}  // namespace

bool DecodeToFile(File& input, PatchInput patch, File& output, size_t piece_size,
                  const DecodeControl& control, ApplyError* error, SourceReading reading) {
  if (piece_size == 0) piece_size = kPatchPieceSize;

  WindowOutput windows(output);
  windows.control = &control;
  windows.threaded = windows.writer.Start();
  StreamHolder holder;
  DecodeStream& stream = holder.stream;
  DecodeConfig config{};
  config.window_size = kConfigWindowSize;
  config.flags = kConfigFlags;
  config.alloc = AllocateDecoderBuffer;
  config.release = FreeDecoderBuffer;
  if (ConfigureDecodeStream(&stream, &config) != 0) {
    return FailApply(error, ApplyFailure::kDecode, stream.message);
  }

  SourceBlocks blocks;
  PatchChunks chunks;
  if (!InitSourceBlocks(&blocks, &input, reading) || !InitPatchChunks(&chunks, patch, piece_size)) {
    return FailApply(error, ApplyFailure::kDecode, "out of memory");
  }

  // Block 0 is in place before decoding starts; the decoder asks for any other.
  DecodeSource source{};
  source.block_size = blocks.block_size;
  if (!LoadSourceBlock(&blocks, 0, &source)) return FailSource(error, blocks);
  SetDecodeSource(&stream, &source);

  // The patch goes in pieces of piece_size from a chunk of our own, which is refilled only once
  // the decoder has said kStatusNeedInput for its last piece: until then it may still read
  // sections where they lie. A piece shorter than piece_size is the last; a patch of a whole
  // number of pieces ends with an empty one.
  bool patch_failed = false, source_failed = false;
  DecodeDriver driver;
  driver.next_piece = [&](DecodePiece* piece) {
    if (chunks.next == chunks.length && !FillPatchChunk(&chunks)) {
      patch_failed = true;
      return false;
    }
    piece->data = chunks.buffer.get() + chunks.next;
    piece->size = std::min(piece_size, chunks.length - chunks.next);
    piece->last = piece->size < piece_size;
    chunks.next += piece->size;
    return true;
  };
  // Cut short (Windows) or served zeros (POSIX) where a page of the view couldn't be read:
  // whatever the decoder made of them, output or a failed checksum, the source's failure is the
  // news. A stream cut short mid-step can only be freed.
  driver.step = [&](DecodeStream* running, int* status) {
    DecodeStep step{running, 0};
    const bool whole = ReadViews(RunDecodeStep, &step);
    *status = step.status;
    source_failed = !SourceBlocksIntact(&blocks) || !whole;
    return !source_failed;
  };
  driver.load_block = [&](uint64_t block) {
    source_failed = !LoadSourceBlock(&blocks, block, &source);
    return !source_failed;
  };
  ApplyError window_error;
  driver.take_window = [&](DecodeStream* taken) {
    return PutWindow(taken, &windows, &window_error);
  };

  switch (DriveDecoder(&stream, driver)) {
    case DriveEnd::kDone:
      break;
    case DriveEnd::kStopped:
      if (patch_failed && chunks.changed) {
        return FailApply(error, ApplyFailure::kReadPatch,
                         "The patch changed while it was being read.");
      }
      if (patch_failed) {
        return FailApply(error, ApplyFailure::kReadPatch, "Couldn't read patch data", chunks.error);
      }
      if (source_failed) return FailSource(error, blocks);
      if (error) *error = window_error;
      return false;
    case DriveEnd::kDecodeFailed:
    case DriveEnd::kCloseFailed:
      // A patch that ended inside a header or a window is incomplete, and so is one that never
      // began (an empty file).
      return FailApply(error, ApplyFailure::kDecode,
                       stream.message ? stream.message : "patch decoding failed");
    case DriveEnd::kProtocol:
      return FailApply(error, ApplyFailure::kDecode, "patch decoding failed");
  }
  if (!FinishPendingWindow(&windows, error)) return false;
  if (!SourceBlocksIntact(&blocks)) return FailSource(error, blocks);

  // Closing is where a delayed write failure shows; the output isn't whole then.
  FileError close_error = 0;
  if (!output.Close(&close_error)) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't write output", close_error);
  }
  if (error) *error = {};
  return true;
}

}  // namespace tvl
