// Window execution when every COPY can be served from memory at hand: instructions are parsed and
// checked a batch at a time into plain copies, fills and repeats, which then run with nothing
// left to check. Without the queue's bookkeeping, a patch of many short operations takes about
// half the instructions it took through the queue.
#include <cstring>

#include "vcdiff/decoder.h"
#include "vcdiff/decoder_internal.h"
#include "vcdiff/window_execute.h"

namespace tvl {
namespace {

enum class OpKind : uint8_t {
  kCopy,    // size bytes from `from`, which doesn't overlap the output
  kFill,    // size copies of the byte at `from`
  kRepeat,  // size bytes from `from`, earlier in the window, as if copied one at a time
};

struct Op {
  const uint8_t* from;
  uint64_t size;
  OpKind kind;
};

// The current window as the batches see it: the stream's cursors and position in locals, which
// go back to the stream once the window has run or failed.
struct InPlaceWindow {
  const CodeTable& table;
  ParseCursors parse;
  const uint8_t* data;
  const uint8_t* data_end;
  const uint8_t* segment;         // the source segment's first byte, when the window has one
  uint8_t* window;                // the window buffer
  const char* message = nullptr;  // why parsing stopped short, once it has
};

// The operations of a batch, and both ends of each source copy among them.
struct Batch {
  Op ops[kParsedHalves];
  size_t count = 0;
  const uint8_t* touches[2 * kParsedHalves];
  size_t touched = 0;
};

// Adds the operation a parsed half runs as, taking its data bytes; false when the data section
// hasn't got them. The half's output begins at `at` in the window. Inlined by force, as ParseHalf
// is: each is used twice per opcode.
[[gnu::always_inline]] inline bool Emit(InPlaceWindow* w, const PendingInstruction& half,
                                        uint64_t at, Batch* batch) {
  Op& op = batch->ops[batch->count];
  const uint64_t data_left = static_cast<uint64_t>(w->data_end - w->data);
  switch (half.type) {
    case kCodeAdd:
      if (data_left < half.size) {
        w->message = "data underflow";
        return false;
      }
      op = {w->data, half.size, OpKind::kCopy};
      w->data += half.size;
      break;
    case kCodeRun:
      if (data_left == 0) {
        w->message = "data underflow";
        return false;
      }
      op = {w->data, half.size, OpKind::kFill};
      w->data += 1;
      break;
    default: {
      const uint64_t copy_length = w->parse.space.copy_length;
      if (half.address < copy_length) {
        op = {w->segment + half.address, half.size, OpKind::kCopy};
        if (half.size > 0) {
          batch->touches[batch->touched++] = op.from;
          batch->touches[batch->touched++] = op.from + (half.size - 1);
        }
      } else {
        // A copy from within reach of its output repeats.
        const uint64_t from = half.address - copy_length;
        op = {w->window + from, half.size,
              from + half.size <= at ? OpKind::kCopy : OpKind::kRepeat};
      }
      break;
    }
  }
  // An empty half has taken its data byte, if any, and has nothing to run: an empty window has
  // no buffer to run it on.
  if (half.size > 0) ++batch->count;
  return true;
}

// Parses opcodes into the batch until it is full, the instructions end or one fails. Both halves
// of an opcode are parsed before either takes its data: a half that failed to parse never runs,
// nor does its partner.
void ParseBatch(InPlaceWindow* w, Batch* batch) {
  ParseCursors& parse = w->parse;
  while (batch->count + 2 <= kParsedHalves && parse.instructions != parse.instructions_end) {
    const CodeTableEntry& entry = w->table[*parse.instructions++];
    PendingInstruction first{entry.type1, entry.size1, 0};
    PendingInstruction second{entry.type2, entry.size2, 0};
    const uint64_t at = parse.space.position - parse.space.copy_length;
    const char* failure = nullptr;
    if ((first.type != kCodeNoop && (failure = ParseHalf(&parse, &first)) != nullptr) ||
        (second.type != kCodeNoop && (failure = ParseHalf(&parse, &second)) != nullptr)) {
      w->message = failure;
      return;
    }
    if (first.type != kCodeNoop && !Emit(w, first, at, batch)) return;
    if (second.type != kCodeNoop && !Emit(w, second, at + first.size, batch)) return;
  }
}

uint8_t* Run(const Op* ops, size_t count, uint8_t* out) {
  for (size_t i = 0; i < count; ++i) {
    const Op& op = ops[i];
    switch (op.kind) {
      case OpKind::kCopy:
        std::memcpy(out, op.from, op.size);
        break;
      case OpKind::kFill:
        std::memset(out, *op.from, op.size);
        break;
      case OpKind::kRepeat:
        CopyRepeating(out, op.from, op.size);
        break;
    }
    out += op.size;
  }
  return out;
}

}  // namespace

bool CanExecuteInPlace(const DecodeStream* stream) {
  if (stream->copy_length == 0) return true;
  // A window with a source segment runs only once a source is attached.
  const DecodeSource* source = stream->source;
  return source->block_data != nullptr && source->block_number == source->copy_base_block &&
         source->copy_base_offset <= source->block_bytes &&
         stream->copy_length <= source->block_bytes - source->copy_base_offset;
}

int ExecuteInPlace(DecodeStream* stream) {
  const DecodeSource* source = stream->source;
  InPlaceWindow w{
      .table = *stream->code_table,
      .parse = LoadParseCursors(*stream),
      .data = stream->data.next,
      .data_end = stream->data.end,
      .segment = stream->copy_length > 0 ? source->block_data + source->copy_base_offset : nullptr,
      .window = stream->output_data,
  };
  uint8_t* out = stream->output_data + stream->output_size;
  while (w.message == nullptr && w.parse.instructions != w.parse.instructions_end) {
    Batch batch;
    ParseBatch(&w, &batch);
    TouchSourceBytes(batch.touches, batch.touched);
    out = Run(batch.ops, batch.count, out);
  }
  StoreParseCursors(stream, w.parse);
  stream->data.next = w.data;
  stream->output_size = static_cast<uint64_t>(out - stream->output_data);
  return w.message == nullptr ? 0 : Fail(stream, kStatusBadData, w.message);
}

}  // namespace tvl
