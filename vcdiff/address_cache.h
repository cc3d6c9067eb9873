// The COPY address cache of RFC 3284 section 5.1, shared by the decoder and the encoder.
//
// Address modes with the default cache (4 near slots, 3 same blocks):
//   mode 0      VCD_SELF   the address itself, as an integer
//   mode 1      VCD_HERE   here - value, as an integer (here = current address-space position)
//   modes 2..5  near slot m - 2 + value, as an integer
//   modes 6..8  same block m - 6: one byte b selects same_slots[(m - 6) * 256 + b]
// After every COPY, UpdateAddressCache records the address in both caches.
//
// Decoder use:  mode from the opcode -> IsSameMode ? read a byte : read an integer ->
//               DecodeAddress -> UpdateAddressCache.
// Encoder use:  ChooseAddressMode -> write the value (a byte for same modes, else an integer)
//               -> UpdateAddressCache.
// The slot arrays are supplied by the owner: the decoder allocates them through its stream,
// an encoder may bind an AddressCacheStorage with MakeAddressCache.
#pragma once

#include <cstdint>

namespace tvl {

// RFC 3284 section 5.1: "s_near = 4, s_same = 3".
inline constexpr uint64_t kNearCacheSize = 4;
inline constexpr uint64_t kSameCacheSize = 3;
inline constexpr uint64_t kSameBlockSlots = 256;  // "same[s_same*256]"

// RFC 3284 section 5.3: "VCD_SELF: 0, VCD_HERE: 1"; near modes follow, then same modes.
inline constexpr uint8_t kModeSelf = 0;
inline constexpr uint8_t kModeHere = 1;
inline constexpr uint8_t kModeFirstNear = 2;
inline constexpr uint8_t kModeCount = 2 + kNearCacheSize + kSameCacheSize;  // 9

struct AddressCache {
  uint64_t near_size = 0;          // number of near slots
  uint64_t same_size = 0;          // number of same blocks of 256 slots
  uint64_t next_near_slot = 0;     // near slot written next (round robin)
  uint64_t* near_slots = nullptr;  // near_size entries
  uint64_t* same_slots = nullptr;  // same_size * 256 entries
};

// Fixed storage for the default sizes, for owners that don't allocate.
struct AddressCacheStorage {
  uint64_t near_slots[kNearCacheSize];
  uint64_t same_slots[kSameCacheSize * kSameBlockSlots];
};

// A default-sized cache over `storage`, reset.
AddressCache MakeAddressCache(AddressCacheStorage& storage);

// RFC 3284 section 5.1 "init": zeroes every slot and restarts the near round robin.
void ResetAddressCache(AddressCache& cache);

// RFC 3284 section 5.1 "update": records a COPY address. Inline, like the two below: the decoder
// calls them for every COPY, and a division by a size known only at run time costs more than
// the rest of the update; the default sizes divide by constants.
inline void UpdateAddressCache(AddressCache& cache, uint64_t address) {
  if (cache.near_size > 0) {
    cache.near_slots[cache.next_near_slot] = address;
    if (++cache.next_near_slot == cache.near_size) cache.next_near_slot = 0;
  }
  if (cache.same_size > 0) {
    constexpr uint64_t kDefaultSameSlots = kSameCacheSize * kSameBlockSlots;
    const uint64_t slots = cache.same_size * kSameBlockSlots;
    const uint64_t slot =
        slots == kDefaultSameSlots ? address % kDefaultSameSlots : address % slots;
    cache.same_slots[slot] = address;
  }
}

// True when `mode` takes its value as one byte (a same mode) rather than an integer.
inline bool IsSameMode(const AddressCache& cache, uint64_t mode) {
  return mode >= cache.near_size + 2;
}

// The address that `value` stands for in `mode` at position `here`. Wraps modulo 2^64; callers
// check the result (an address must lie below `here`). Does not update the cache.
inline uint64_t DecodeAddress(const AddressCache& cache, uint64_t mode, uint64_t value,
                              uint64_t here) {
  if (mode == kModeSelf) return value;
  if (mode == kModeHere) return here - value;
  if (!IsSameMode(cache, mode)) return cache.near_slots[mode - kModeFirstNear] + value;
  return cache.same_slots[(mode - cache.near_size - 2) * kSameBlockSlots + (value & 0xFF)];
}

// The cheapest way to encode `address` (< here): mode and value, where value is the byte for a
// same mode. Does not update the cache.
struct AddressChoice {
  uint8_t mode;
  uint64_t value;
};
AddressChoice ChooseAddressMode(const AddressCache& cache, uint64_t address, uint64_t here);

}  // namespace tvl
