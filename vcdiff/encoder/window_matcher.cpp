#include "vcdiff/encoder/window_matcher.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "vcdiff/varint.h"

namespace tvl {
namespace {

// The default code table spells out COPY sizes from 4 on; shorter copies never pay.
constexpr uint64_t kMinCopy = 4;
// A RUN costs its opcode, its size and one data byte; shorter runs never beat an ADD.
constexpr uint64_t kMinRun = 4;
// Opcode and a one-byte address are the least any COPY costs.
constexpr int64_t kLeastCopyCost = 2;
// A source COPY at least this long has its bytes filed in the window index only sparsely.
constexpr uint64_t kSparseCopy = 256;
// Largest window index: 2^20 buckets of 16 slots, two slots per byte of an 8 MiB window.
constexpr uint32_t kMaxWindowBucketBits = 20;
// The source index's memory: 256 MiB (2^21 buckets of 16 slots), or for sources of 1 GiB and more
// up to half a byte per source byte (a power of two), so that it grows no faster than the source.
constexpr uint64_t kLeastSourceIndexBytes = uint64_t{256} << 20;

enum class CandidateKind : uint8_t { kNone, kCopy, kRun };

struct Candidate {
  CandidateKind kind = CandidateKind::kNone;
  uint64_t address = 0;  // COPY: address in the window's address space
  uint64_t length = 0;
  int64_t score = 0;  // bytes saved against ADDing the same bytes
};

// Length of the common prefix of a and b, at most `limit`.
uint64_t MatchLength(const uint8_t* a, const uint8_t* b, uint64_t limit) {
  uint64_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little) {
        return n + static_cast<uint64_t>(std::countr_zero(x ^ y)) / 8;
      } else {
        return n + static_cast<uint64_t>(std::countl_zero(x ^ y)) / 8;
      }
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

uint64_t RunLength(const uint8_t* p, uint64_t limit) {
  uint64_t n = 1;
  while (n < limit && p[n] == p[0]) ++n;
  return n;
}

// The state of matching one window.
struct Matcher {
  const SourceIndex& source;
  const uint8_t* target;  // the window's bytes
  uint64_t target_size;
  WindowIndex& index;
  const MatcherParams& params;
  InstructionEmitter& emitter;
  uint64_t source_size;
  uint64_t indexed = 0;  // window positions below this are in the window index
  // Where the last COPY ended, as a window position and the address that follows it.
  bool resume_valid = false;
  uint64_t resume_position = 0;
  uint64_t resume_address = 0;
};

// Weighs a COPY of the bytes at `address` for window position `pos`.
void Consider(const Matcher& m, uint64_t address, uint64_t pos, Candidate& best) {
  const uint64_t rest = m.target_size - pos;
  const bool from_source = address < m.source_size;
  const uint8_t* base =
      from_source ? m.source.data.data() + address : m.target + (address - m.source_size);
  // A source COPY stays inside the source: it never runs on into the window. A window COPY may
  // overlap the bytes it produces; the target itself says what they will be.
  const uint64_t limit = from_source ? std::min(rest, m.source_size - address) : rest;
  // Only a match of at least `need` bytes can beat the best so far; one byte at its end rules
  // most candidates out before they are compared in full.
  const uint64_t need = std::max<uint64_t>(kMinCopy, best.score + kLeastCopyCost + 1);
  if (need > limit || base[need - 1] != m.target[pos + need - 1]) return;
  const uint64_t length = MatchLength(base, m.target + pos, limit);
  if (length < need) return;
  const int64_t score =
      static_cast<int64_t>(length) - CopyCost(m.emitter, address, length, m.source_size + pos);
  if (score > best.score) best = {CandidateKind::kCopy, address, length, score};
}

// Tries the positions of a bucket filed under `key`, positions in `data`, whose first byte has
// the address `base`; true once a match is long enough to stop looking.
bool ConsiderBucket(const Matcher& m, const HashSlot* bucket, const HashKey& key,
                    const uint8_t* data, uint64_t base, uint64_t pos, Candidate& best) {
  uint32_t found[kBucketWays];
  uint32_t count = 0;
  for (uint32_t way = 0; way < kBucketWays; ++way) {
    if (bucket[way].check != key.check || bucket[way].position == kNoPosition) continue;
    found[count++] = bucket[way].position;
    // Candidates lie anywhere in memory; ask for all of them before looking at the first.
    __builtin_prefetch(data + bucket[way].position);
  }
  for (uint32_t i = 0; i < count; ++i) {
    Consider(m, base + found[i], pos, best);
    if (best.length >= m.params.good_length || best.length == m.target_size - pos) return true;
  }
  return false;
}

Candidate FindBest(Matcher& m, uint64_t pos) {
  const HashBuckets& source_index = m.source.buckets;
  HashBuckets& window_index = m.index.buckets;
  InsertRange(window_index, m.target, m.target_size, m.indexed, pos);
  m.indexed = std::max(m.indexed, pos);

  const uint64_t rest = m.target_size - pos;
  const uint8_t* p = m.target + pos;
  const bool source_hashable = rest >= HashReach(source_index) && IsReady(source_index);
  const bool window_hashable = rest >= HashReach(window_index);
  // The next position is looked up soon after; start fetching its buckets now.
  if (rest > 8) {
    if (source_hashable) __builtin_prefetch(BucketFor(source_index, KeyAt(source_index, p + 1)));
    __builtin_prefetch(BucketFor(window_index, KeyAt(window_index, p + 1)));
  }

  Candidate best;
  const uint64_t run = RunLength(p, rest);
  if (run >= kMinRun) {
    const int64_t score = static_cast<int64_t>(run) - 2 - VarintSize(run);
    if (score > best.score) best = {CandidateKind::kRun, 0, run, score};
  }
  if (m.resume_valid) {
    const uint64_t address = m.resume_address + (pos - m.resume_position);
    if (address < m.source_size + pos) Consider(m, address, pos, best);
  }
  if (source_hashable) {
    const HashKey key = KeyAt(source_index, p);
    const uint8_t* data = m.source.data.data();
    if (ConsiderBucket(m, BucketFor(source_index, key), key, data, 0, pos, best)) return best;
  }
  if (window_hashable) {
    const HashKey key = KeyAt(window_index, p);
    ConsiderBucket(m, BucketFor(window_index, key), key, m.target, m.source_size, pos, best);
  }
  return best;
}

// Grows a chosen match backwards over the bytes that would otherwise be ADDed before it.
void ExtendBackwards(const Matcher& m, Candidate& c, uint64_t& pos, uint64_t literal_start) {
  if (c.kind == CandidateKind::kRun) {
    while (pos > literal_start && m.target[pos - 1] == m.target[pos]) {
      --pos;
      ++c.length;
    }
    return;
  }
  // A source COPY stops at the source's first byte, a window COPY at the window's.
  const bool from_source = c.address < m.source_size;
  const uint8_t* base = from_source ? m.source.data.data() : m.target;
  uint64_t offset = from_source ? c.address : c.address - m.source_size;  // into `base`
  while (pos > literal_start && offset > 0 && base[offset - 1] == m.target[pos - 1]) {
    --pos;
    --offset;
    --c.address;
    ++c.length;
  }
}

// log2 of the most buckets the source index may have.
uint32_t MaxSourceBucketBits(uint64_t source_size) {
  const uint64_t bytes = std::max(kLeastSourceIndexBytes, source_size / 2);
  return static_cast<uint32_t>(std::bit_width(bytes / (kBucketWays * sizeof(HashSlot))) - 1);
}

}  // namespace

// Buckets full past their ways would push out the oldest positions, and with them every match in
// the start of a large source. Filing fewer positions loses little instead: a match that pays for
// a source address is long, so it is still found at most one step after it starts, and grown back.
uint64_t SourceStepFor(uint64_t source_size, const MatcherParams& params) {
  const uint64_t slots = uint64_t{kBucketWays} << MaxSourceBucketBits(source_size);
  uint64_t step = std::max<uint32_t>(params.source_step, 1);
  while (2 * (source_size / step) > slots) step *= 2;  // two slots per position, as BucketBitsFor
  return step;
}

void BuildSourceIndex(SourceIndex& index, std::span<const uint8_t> source,
                      const MatcherParams& params) {
  index.data = source;
  if (source.size() < 8) {
    index.buckets = {};  // nothing to file: lookups are skipped
    return;
  }
  const uint64_t step = SourceStepFor(source.size(), params);
  index.step = step;
  InitHashBuckets(index.buckets, params.source_hash_width,
                  BucketBitsFor(source.size() / step, MaxSourceBucketBits(source.size())));
  InsertRange(index.buckets, source.data(), source.size(), 0, source.size(),
              static_cast<size_t>(step));
}

void MatchWindow(const SourceIndex& source, std::span<const uint8_t> window, WindowIndex& index,
                 const MatcherParams& params, InstructionEmitter& emitter) {
  const uint64_t size = window.size();
  HashBuckets& buckets = index.buckets;
  const uint32_t bits = BucketBitsFor(size, kMaxWindowBucketBits);
  if (!IsReady(buckets) || buckets.width != params.target_hash_width ||
      BucketBits(buckets) != bits) {
    InitHashBuckets(buckets, params.target_hash_width, bits);
  } else {
    ClearHashBuckets(buckets);
  }

  Matcher m{source, window.data(), size, index, params, emitter, source.data.size()};
  uint64_t literal_start = 0;
  uint64_t pos = 0;
  while (pos + kMinCopy <= size) {
    Candidate best = FindBest(m, pos);
    if (best.kind == CandidateKind::kNone || best.score < params.min_score) {
      ++pos;
      continue;
    }
    // Lazy step: a better match one byte on is worth one more ADDed byte.
    while (pos + 1 + kMinCopy <= size && best.length < params.good_length) {
      const Candidate next = FindBest(m, pos + 1);
      if (next.score <= best.score) break;
      best = next;
      ++pos;
    }
    ExtendBackwards(m, best, pos, literal_start);
    EmitAdd(emitter, m.target + literal_start, pos - literal_start);
    if (best.kind == CandidateKind::kRun) {
      EmitRun(emitter, m.target[pos], best.length);
    } else {
      EmitCopy(emitter, best.address, best.length);
      if (best.address < m.source_size && best.length >= kSparseCopy) {
        // Bytes the source holds are found there as well: the window files them only as often
        // as the source index does, which spares most of its work on a largely copied target.
        InsertRange(buckets, m.target, size, m.indexed, pos);
        InsertRange(buckets, m.target, size, std::max(m.indexed, pos), pos + best.length,
                    static_cast<size_t>(source.step));
        m.indexed = std::max(m.indexed, pos + best.length);
      }
      m.resume_valid = true;
      m.resume_position = pos + best.length;
      m.resume_address = best.address + best.length;
    }
    pos += best.length;
    literal_start = pos;
  }
  EmitAdd(emitter, m.target + literal_start, size - literal_start);
}

}  // namespace tvl
