// Builds small VCDIFF streams for the applier tests, independently of the codec: the default code
// table's single-instruction opcodes with VCD_SELF addresses, and an Adler-32 of its own.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tvl::testing {

// One window. The helpers append an instruction and the bytes it produces to `target`.
struct TestWindow {
  bool has_source = true;  // VCD_SOURCE with the segment below
  uint64_t source_offset = 0;
  uint64_t source_length = 0;
  bool checksum = true;         // carry the Adler-32 of `target`
  uint32_t checksum_error = 0;  // xor-ed into the stored checksum
  std::vector<uint8_t> data, instructions, addresses;
  std::vector<uint8_t> target;
};

inline void PutVarint(std::vector<uint8_t>& out, uint64_t value) {
  uint8_t bytes[10];
  int n = 0;
  do {
    bytes[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(bytes[--n] | 0x80);
  out.push_back(bytes[0]);
}

inline uint32_t TestAdler32(const std::vector<uint8_t>& bytes) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// Default code table (RFC 3284 section 5.6): opcode 0 is RUN size 0, 1 is ADD size 0, 19 is
// COPY mode 0 (VCD_SELF) size 0; size 0 means the size follows in the instructions section.
inline void Add(TestWindow& w, const std::vector<uint8_t>& bytes) {
  w.instructions.push_back(1);
  PutVarint(w.instructions, bytes.size());
  w.data.insert(w.data.end(), bytes.begin(), bytes.end());
  w.target.insert(w.target.end(), bytes.begin(), bytes.end());
}

inline void Run(TestWindow& w, uint8_t byte, uint64_t size) {
  w.instructions.push_back(0);
  PutVarint(w.instructions, size);
  w.data.push_back(byte);
  w.target.insert(w.target.end(), size, byte);
}

// Copies `size` bytes from `address` of the window's source segment; `source` is the whole
// source file, for the expected target.
inline void CopySource(TestWindow& w, uint64_t address, uint64_t size,
                       const std::vector<uint8_t>& source) {
  w.instructions.push_back(19);
  PutVarint(w.instructions, size);
  PutVarint(w.addresses, address);
  for (uint64_t i = 0; i < size; ++i) w.target.push_back(source[w.source_offset + address + i]);
}

// Same, for a source whose bytes the expected target doesn't need (the test checks failure).
inline void CopySourceBlind(TestWindow& w, uint64_t address, uint64_t size) {
  w.instructions.push_back(19);
  PutVarint(w.instructions, size);
  PutVarint(w.addresses, address);
  w.target.insert(w.target.end(), size, 0);
}

// Copies from this window's own target, which may overlap the bytes being written.
inline void CopyTarget(TestWindow& w, uint64_t target_position, uint64_t size) {
  w.instructions.push_back(19);
  PutVarint(w.instructions, size);
  PutVarint(w.addresses, (w.has_source ? w.source_length : 0) + target_position);
  for (uint64_t i = 0; i < size; ++i) w.target.push_back(w.target[target_position + i]);
}

inline void PutWindow(std::vector<uint8_t>& out, const TestWindow& w) {
  out.push_back(static_cast<uint8_t>((w.has_source ? 0x01 : 0) | (w.checksum ? 0x04 : 0)));
  if (w.has_source) {
    PutVarint(out, w.source_length);
    PutVarint(out, w.source_offset);
  }
  std::vector<uint8_t> delta;
  PutVarint(delta, w.target.size());
  delta.push_back(0);  // delta indicator: nothing compressed
  PutVarint(delta, w.data.size());
  PutVarint(delta, w.instructions.size());
  PutVarint(delta, w.addresses.size());
  if (w.checksum) {
    const uint32_t sum = TestAdler32(w.target) ^ w.checksum_error;
    for (int shift = 24; shift >= 0; shift -= 8)
      delta.push_back(static_cast<uint8_t>(sum >> shift));
  }
  delta.insert(delta.end(), w.data.begin(), w.data.end());
  delta.insert(delta.end(), w.instructions.begin(), w.instructions.end());
  delta.insert(delta.end(), w.addresses.begin(), w.addresses.end());
  PutVarint(out, delta.size());
  out.insert(out.end(), delta.begin(), delta.end());
}

// The whole stream: magic, header indicator (with the application header when it isn't empty),
// then the windows.
inline std::vector<uint8_t> EncodeStream(const std::vector<TestWindow>& windows,
                                         std::string_view app_header = {}) {
  std::vector<uint8_t> out = {0xD6, 0xC3, 0xC4, 0x00};
  out.push_back(app_header.empty() ? 0x00 : 0x04);
  if (!app_header.empty()) {
    PutVarint(out, app_header.size());
    out.insert(out.end(), app_header.begin(), app_header.end());
  }
  for (const TestWindow& w : windows) PutWindow(out, w);
  return out;
}

// The target bytes the windows rebuild, in order.
inline std::vector<uint8_t> ExpectedTarget(const std::vector<TestWindow>& windows) {
  std::vector<uint8_t> target;
  for (const TestWindow& w : windows) target.insert(target.end(), w.target.begin(), w.target.end());
  return target;
}

}  // namespace tvl::testing
