// Window execution when every COPY can be served from memory at hand: instructions are parsed and
// checked a batch at a time into plain copies, fills and repeats, which then run with nothing
// left to check. Without the queue's bookkeeping, a patch of many short operations takes about
// half the instructions it took through the queue.
#include <cstring>

#include "vcdiff/decoder.h"
#include "vcdiff/decoder_internal.h"

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

// Halves parsed ahead of running them. The source bytes of the copies among them are read
// together before any runs: short copies from all over a large source would otherwise each wait
// for memory, and for the page-table walk before it, in turn.
constexpr size_t kBatchHalves = 64;

// The current window as the batches see it: the stream's cursors and position in locals, which
// go back to the stream once the window has run or failed.
struct InPlaceWindow {
  const CodeTable& table;
  const uint8_t* instructions;
  const uint8_t* instructions_end;
  const uint8_t* data;
  const uint8_t* data_end;
  const uint8_t* addresses;
  const uint8_t* addresses_end;
  const uint8_t* segment;  // the source segment's first byte, when the window has one
  uint8_t* window;         // the window buffer
  AddressSpace space;
  AddressCache cache;             // the stream's, with its round robin moving here
  const char* message = nullptr;  // why parsing stopped short, once it has
};

struct Half {
  uint8_t type;
  uint64_t size;
  uint64_t address;
};

// Size and address of a half, and its checks against the address space; the position moves past
// it. The cursors and the address cache move as the queued way moves them. Inlined by force, as
// Emit is: each is used twice per opcode, and as calls the decoding took 30% more instructions.
[[gnu::always_inline]] inline bool ParseHalf(InPlaceWindow* w, Half* half) {
  if (half->size == 0) {
    if (const char* message =
            ReadSectionInteger(&w->instructions, w->instructions_end, &half->size)) {
      w->message = message;
      return false;
    }
  }
  if (half->type >= kCodeCopy) {
    AddressCache& cache = w->cache;
    const uint64_t mode = half->type - kCodeCopy;
    uint64_t value = 0;
    if (IsSameMode(cache, mode)) {
      if (w->addresses == w->addresses_end) {
        w->message = "address underflow";
        return false;
      }
      value = *w->addresses++;
    } else if (const char* message = ReadSectionInteger(&w->addresses, w->addresses_end, &value)) {
      w->message = message;
      return false;
    }
    half->address = DecodeAddress(cache, mode, value, w->space.position);
    UpdateAddressCache(cache, half->address);
  }
  if (const char* message = CheckHalf(w->space, half->type, half->size, half->address)) {
    w->message = message;
    return false;
  }
  w->space.position += half->size;
  return true;
}

// The operations of a batch, and both ends of each source copy among them.
struct Batch {
  Op ops[kBatchHalves];
  size_t count = 0;
  const uint8_t* touches[2 * kBatchHalves];
  size_t touched = 0;
};

// Adds the operation a parsed half runs as, taking its data bytes; false when the data section
// hasn't got them. The half's output begins at `at` in the window.
[[gnu::always_inline]] inline bool Emit(InPlaceWindow* w, const Half& half, uint64_t at,
                                        Batch* batch) {
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
      const uint64_t copy_length = w->space.copy_length;
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
  while (batch->count + 2 <= kBatchHalves && w->instructions != w->instructions_end) {
    const CodeTableEntry& entry = w->table[*w->instructions++];
    Half first{entry.type1, entry.size1, 0};
    Half second{entry.type2, entry.size2, 0};
    const uint64_t at = w->space.position - w->space.copy_length;
    if (first.type != kCodeNoop && !ParseHalf(w, &first)) return;
    if (second.type != kCodeNoop && !ParseHalf(w, &second)) return;
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
  const AddressCache& cache = stream->address_cache;
  if (cache.near_size != kNearCacheSize || cache.same_size != kSameCacheSize) return false;
  if ((stream->window_indicator & kWindowTarget) != 0) return false;
  if (stream->copy_length == 0) return true;
  const DecodeSource* source = stream->source;
  return source != nullptr && source->block_data != nullptr &&
         source->block_number == source->copy_base_block &&
         source->copy_base_offset <= source->block_bytes &&
         stream->copy_length <= source->block_bytes - source->copy_base_offset;
}

int ExecuteInPlace(DecodeStream* stream) {
  const DecodeSource* source = stream->source;
  InPlaceWindow w{
      .table = *stream->code_table,
      .instructions = stream->instructions.next,
      .instructions_end = stream->instructions.end,
      .data = stream->data.next,
      .data_end = stream->data.end,
      .addresses = stream->addresses.next,
      .addresses_end = stream->addresses.end,
      .segment = stream->copy_length > 0 ? source->block_data + source->copy_base_offset : nullptr,
      .window = stream->output_data,
      .space = {stream->copy_length, stream->position, stream->position_limit},
      // The sizes as constants, which lets the cache's arithmetic fold.
      .cache = {kNearCacheSize, kSameCacheSize, stream->address_cache.next_near_slot,
                stream->address_cache.near_slots, stream->address_cache.same_slots},
  };
  uint8_t* out = stream->output_data + stream->output_size;
  while (w.message == nullptr && w.instructions != w.instructions_end) {
    Batch batch;
    ParseBatch(&w, &batch);
    TouchSourceBytes(batch.touches, batch.touched);
    out = Run(batch.ops, batch.count, out);
  }
  stream->instructions.next = w.instructions;
  stream->data.next = w.data;
  stream->addresses.next = w.addresses;
  stream->position = w.space.position;
  stream->address_cache.next_near_slot = w.cache.next_near_slot;
  stream->output_size = static_cast<uint64_t>(out - stream->output_data);
  return w.message == nullptr ? 0 : Fail(stream, kStatusBadData, w.message);
}

}  // namespace tvl
