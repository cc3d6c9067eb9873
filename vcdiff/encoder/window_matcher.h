// Finds the instructions for one target window: COPYs from anywhere in the source, COPYs from the
// part of the window already produced (overlapping ones included), RUNs, and ADDs for the rest.
//
// Candidates at each position come from a hash index over the source (built once per encoding)
// and one over the window (filled as the window is passed), plus the spot just after the previous
// COPY, where edited data tends to resume. Each is weighed by the bytes it saves over ADDing them,
// with the address priced through the live address cache. Matching is greedy with a lazy look
// one byte ahead, and a chosen match is grown backwards over bytes still waiting to be ADDed.
#pragma once

#include <cstdint>
#include <span>

#include "vcdiff/encoder/hash_buckets.h"
#include "vcdiff/encoder/instruction_emitter.h"

namespace tvl {

// Measured on Freedoom releases: wider window hashes or narrower source hashes lose more matches
// than they save time; indexing every second source position costs almost nothing, because a match
// long enough to pay for a source address is still found one byte later and grown back.
struct MatcherParams {
  uint32_t source_hash_width = 8;  // bytes hashed per source position
  uint32_t source_step = 2;        // every how many source positions are indexed, at least
  uint32_t target_hash_width = 4;  // bytes hashed per window position; all indexed but in long
                                   // source COPYs, filed at the source step there
  uint32_t good_length = 256;      // a match this long ends the search at its position
  int32_t min_score = 1;           // bytes a COPY or RUN must save to be taken
};

// The hash index over the whole source; every window copies from it.
struct SourceIndex {
  std::span<const uint8_t> data;
  HashBuckets buckets;
  uint64_t step = 1;  // every how many positions `buckets` holds
};

// How far apart the source positions filed in its index lie: `params.source_step`, or a larger
// power of two times it where the source is too large for the index's memory at that step.
uint64_t SourceStepFor(uint64_t source_size, const MatcherParams& params);

void BuildSourceIndex(SourceIndex& index, std::span<const uint8_t> source,
                      const MatcherParams& params);

// The index over the window being encoded; kept between windows only to reuse its memory.
struct WindowIndex {
  HashBuckets buckets;
};

// Emits `window`'s instructions into `emitter`, which StartWindow has prepared with the source
// length as its segment length.
void MatchWindow(const SourceIndex& source, std::span<const uint8_t> window, WindowIndex& index,
                 const MatcherParams& params, InstructionEmitter& emitter);

}  // namespace tvl
