#include "tests/vcdiff/encoder/patch_reader.h"

#include "vcdiff/address_cache.h"
#include "vcdiff/code_table.h"
#include "vcdiff/varint.h"

namespace tvl::testing {
namespace {

struct Reader {
  const uint8_t* next;
  const uint8_t* end;
  bool failed = false;
  bool shortest = true;

  uint8_t Byte() {
    if (next == end) {
      failed = true;
      return 0;
    }
    return *next++;
  }
  uint64_t Varint() {
    uint64_t value = 0;
    int count = 0;
    uint8_t byte;
    do {
      byte = Byte();
      value = (value << 7) | (byte & 0x7F);
      ++count;
    } while ((byte & 0x80) != 0 && !failed && count < 10);
    if (count != VarintSize(value)) shortest = false;
    return value;
  }
  Reader Take(uint64_t length) {
    if (static_cast<uint64_t>(end - next) < length) {
      failed = true;
      return {end, end};
    }
    Reader section{next, next + length};
    next += length;
    return section;
  }
};

// Walks one window's instructions, tallying them into `out`.
void InspectInstructions(Reader data, Reader instructions, Reader addresses,
                         const InspectedWindow& window, StreamInspection& out) {
  AddressCacheStorage storage;
  AddressCache cache = MakeAddressCache(storage);
  uint64_t here = window.copy_length;
  while (instructions.next != instructions.end && !instructions.failed) {
    const CodeTableEntry& entry = DefaultCodeTable[instructions.Byte()];
    ++out.opcodes;
    if (entry.type2 != kCodeNoop)
      ++(entry.type1 == kCodeAdd ? out.add_copy_pairs : out.copy_add_pairs);
    const uint8_t types[2] = {entry.type1, entry.type2};
    const uint8_t sizes[2] = {entry.size1, entry.size2};
    for (int half = 0; half < 2; ++half) {
      if (types[half] == kCodeNoop) continue;
      const uint64_t size = sizes[half] != 0 ? sizes[half] : instructions.Varint();
      if (types[half] == kCodeAdd) {
        ++out.adds;
        data.Take(size);
      } else if (types[half] == kCodeRun) {
        ++out.runs;
        data.Byte();
      } else {
        const uint8_t mode = types[half] - kCodeCopy;
        const uint64_t value = IsSameMode(cache, mode) ? addresses.Byte() : addresses.Varint();
        const uint64_t address = DecodeAddress(cache, mode, value, here);
        UpdateAddressCache(cache, address);
        ++out.copies_by_mode[mode];
        if (address < window.copy_length) {
          ++out.source_copies;
          if (address + size > window.copy_length) ++out.copies_leaving_segment;
        } else {
          ++out.target_copies;
          if (address + size > here) ++out.overlapping_copies;
        }
      }
      here += size;
    }
  }
  if (data.failed || instructions.failed || addresses.failed) {
    out.error = "a section ran short";
  } else if (here != window.copy_length + window.target_length) {
    out.error = "instructions do not fill the window";
  } else if (data.next != data.end || addresses.next != addresses.end) {
    out.error = "section bytes left over";
  }
  out.shortest_integers = out.shortest_integers && instructions.shortest && addresses.shortest;
}

}  // namespace

StreamInspection InspectStream(std::span<const uint8_t> patch) {
  StreamInspection out;
  Reader in{patch.data(), patch.data() + patch.size()};
  const uint8_t magic[4] = {in.Byte(), in.Byte(), in.Byte(), in.Byte()};
  if (magic[0] != 0xD6 || magic[1] != 0xC3 || magic[2] != 0xC4 || magic[3] != 0) {
    out.error = "bad magic";
    return out;
  }
  out.header_indicator = in.Byte();
  const Reader app = in.Take(in.Varint());
  out.app_header.assign(app.next, app.end);
  while (in.next != in.end && !in.failed && out.error.empty()) {
    InspectedWindow w;
    w.indicator = in.Byte();
    w.copy_length = in.Varint();
    w.copy_offset = in.Varint();
    const uint64_t encoding_length = in.Varint();
    const uint8_t* encoding_start = in.next;
    w.target_length = in.Varint();
    w.delta_indicator = in.Byte();
    const uint64_t data_length = in.Varint();
    const uint64_t instructions_length = in.Varint();
    const uint64_t addresses_length = in.Varint();
    for (int i = 0; i < 4; ++i) w.checksum = (w.checksum << 8) | in.Byte();
    const Reader data = in.Take(data_length);
    const Reader instructions = in.Take(instructions_length);
    const Reader addresses = in.Take(addresses_length);
    if (in.failed) break;
    if (static_cast<uint64_t>(in.next - encoding_start) != encoding_length) {
      out.error = "wrong encoding length";
    }
    out.windows.push_back(w);
    InspectInstructions(data, instructions, addresses, w, out);
  }
  if (in.failed && out.error.empty()) out.error = "stream ends inside a window";
  out.shortest_integers = out.shortest_integers && in.shortest;
  return out;
}

}  // namespace tvl::testing
