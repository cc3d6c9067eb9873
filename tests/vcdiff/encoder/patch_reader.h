// Reads an encoder stream back independently of the decoder and reports its layout and what
// its instructions are made of, so tests can check the conventions the decoder relies on.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvl::testing {

struct InspectedWindow {
  uint8_t indicator = 0;
  uint64_t copy_length = 0;
  uint64_t copy_offset = 0;
  uint64_t target_length = 0;
  uint8_t delta_indicator = 0;
  uint32_t checksum = 0;
};

struct StreamInspection {
  std::string error;  // empty when the stream parsed cleanly to its last byte
  uint8_t header_indicator = 0;
  std::string app_header;
  bool shortest_integers = true;  // every integer in its shortest encoding
  std::vector<InspectedWindow> windows;
  uint64_t opcodes = 0;
  uint64_t add_copy_pairs = 0, copy_add_pairs = 0;  // opcodes carrying two instructions
  uint64_t adds = 0, runs = 0, source_copies = 0, target_copies = 0;
  uint64_t overlapping_copies = 0;      // window COPYs that read bytes they write
  uint64_t copies_leaving_segment = 0;  // source COPYs that run past the segment
  std::array<uint64_t, 9> copies_by_mode{};
};

StreamInspection InspectStream(std::span<const uint8_t> patch);

}  // namespace tvl::testing
