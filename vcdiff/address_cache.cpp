#include "vcdiff/address_cache.h"

#include <algorithm>

#include "vcdiff/varint.h"

namespace tvl {

AddressCache MakeAddressCache(AddressCacheStorage& storage) {
  AddressCache cache;
  cache.near_size = kNearCacheSize;
  cache.same_size = kSameCacheSize;
  cache.near_slots = storage.near_slots;
  cache.same_slots = storage.same_slots;
  ResetAddressCache(cache);
  return cache;
}

void ResetAddressCache(AddressCache& cache) {
  if (cache.near_slots != nullptr) std::fill_n(cache.near_slots, cache.near_size, 0);
  if (cache.same_slots != nullptr) {
    std::fill_n(cache.same_slots, cache.same_size * kSameBlockSlots, 0);
  }
  cache.next_near_slot = 0;
}

AddressChoice ChooseAddressMode(const AddressCache& cache, uint64_t address, uint64_t here) {
  // A same-cache hit costs one byte, which no integer beats.
  if (cache.same_size > 0) {
    const uint64_t slot = address % (cache.same_size * kSameBlockSlots);
    if (cache.same_slots[slot] == address) {
      return {static_cast<uint8_t>(2 + cache.near_size + slot / kSameBlockSlots),
              slot % kSameBlockSlots};
    }
  }
  AddressChoice best{kModeSelf, address};
  int best_size = VarintSize(address);
  if (address < here && VarintSize(here - address) < best_size) {
    best = {kModeHere, here - address};
    best_size = VarintSize(best.value);
  }
  for (uint64_t i = 0; i < cache.near_size; ++i) {
    if (address < cache.near_slots[i]) continue;
    const uint64_t value = address - cache.near_slots[i];
    if (VarintSize(value) < best_size) {
      best = {static_cast<uint8_t>(kModeFirstNear + i), value};
      best_size = VarintSize(value);
    }
  }
  return best;
}

}  // namespace tvl
