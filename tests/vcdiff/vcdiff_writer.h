// Test-side VCDIFF writer: builds streams byte by byte, independently of the codec, with a
// byte-at-a-time model of the target so that tests know what a window must decode to.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gtest/gtest.h"

namespace tvl::testing {

using Bytes = std::vector<uint8_t>;

inline void PutVarint(Bytes& out, uint64_t value) {
  uint8_t groups[10];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(groups[--count] | 0x80);
  out.push_back(groups[0]);
}

// Adler-32 of its own, so that a fault in the codec's cannot hide in the expected checksum.
inline uint32_t TestAdler32(const Bytes& bytes) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

inline Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The application header the decoder tests' streams carry unless they say otherwise.
inline constexpr std::string_view kAppHeader = "b.wad//a.wad/";

// D6 C3 C4 00, the header indicator and, with bit 0x04, the application header.
inline Bytes FileHeader(uint8_t indicator = 0x04, std::string_view app_header = kAppHeader) {
  Bytes out = {0xD6, 0xC3, 0xC4, 0x00, indicator};
  if (indicator & 0x04) {
    PutVarint(out, app_header.size());
    out.insert(out.end(), app_header.begin(), app_header.end());
  }
  return out;
}

// One window's instructions, data and addresses, emitted through the default code table, with
// the expected target and a model of the address cache (4 near, 3 same). `source` is the whole
// source file; copies from past its end (or without it) expect zeros, for tests of failure.
class WindowBuilder {
 public:
  WindowBuilder(const Bytes* source = nullptr, uint64_t copy_offset = 0, uint64_t copy_length = 0)
      : source_(source), copy_offset_(copy_offset), copy_length_(copy_length) {}

  uint8_t indicator = 0x05;    // VCD_SOURCE | checksum
  uint32_t checksum_skew = 0;  // added to the stored Adler-32
  Bytes data, instructions, addresses, expected;
  uint64_t here() const { return copy_length_ + expected.size(); }

  // ADD: sizes 1 to 17 use opcodes 2 to 18 unless `explicit_size`.
  void Add(const Bytes& bytes, bool explicit_size = false) {
    if (!explicit_size && bytes.size() >= 1 && bytes.size() <= 17) {
      instructions.push_back(static_cast<uint8_t>(1 + bytes.size()));
    } else {
      instructions.push_back(1);
      PutVarint(instructions, bytes.size());
    }
    AddData(bytes);
  }
  void Run(uint64_t size, uint8_t byte) {
    instructions.push_back(0);
    PutVarint(instructions, size);
    data.push_back(byte);
    expected.insert(expected.end(), size, byte);
  }
  // COPY in `mode`: sizes 4 to 18 use the sized opcodes unless `explicit_size`.
  void Copy(uint64_t address, uint64_t size, uint8_t mode, bool explicit_size = false) {
    const uint8_t first = static_cast<uint8_t>(19 + 16 * mode);
    if (!explicit_size && size >= 4 && size <= 18) {
      instructions.push_back(static_cast<uint8_t>(first + size - 3));
    } else {
      instructions.push_back(first);
      PutVarint(instructions, size);
    }
    CopyBody(address, size, mode);
  }
  // COPY in VCD_SELF mode from `position` of this window's own target, which may overlap the
  // bytes being written.
  void CopyTarget(uint64_t position, uint64_t size) { Copy(copy_length_ + position, size, 0); }
  // Opcodes 163 to 246: ADD of 1 to 4 bytes, then COPY (4 to 6 in modes 0-5, 4 in modes 6-8).
  void AddCopy(const Bytes& bytes, uint64_t address, uint64_t size, uint8_t mode) {
    const size_t add = bytes.size();
    instructions.push_back(mode < 6
                               ? static_cast<uint8_t>(163 + mode * 12 + (add - 1) * 3 + size - 4)
                               : static_cast<uint8_t>(235 + (mode - 6) * 4 + add - 1));
    AddData(bytes);
    CopyBody(address, size, mode);
  }
  // Opcodes 247 to 255: COPY 4 in `mode`, then ADD of one byte.
  void CopyAdd(uint64_t address, uint8_t mode, uint8_t byte) {
    instructions.push_back(static_cast<uint8_t>(247 + mode));
    CopyBody(address, 4, mode);
    AddData({byte});
  }

  // The whole window: indicator, segment, lengths, checksum and sections. `length_skew` is added
  // to the stated encoding length.
  Bytes Encode(int64_t length_skew = 0, uint8_t delta = 0) const {
    Bytes body;
    PutVarint(body, expected.size());
    body.push_back(delta);
    PutVarint(body, data.size());
    PutVarint(body, instructions.size());
    PutVarint(body, addresses.size());
    if (indicator & 0x04) {
      const uint32_t sum = TestAdler32(expected) + checksum_skew;
      for (int shift = 24; shift >= 0; shift -= 8) body.push_back(uint8_t(sum >> shift));
    }
    body.insert(body.end(), data.begin(), data.end());
    body.insert(body.end(), instructions.begin(), instructions.end());
    body.insert(body.end(), addresses.begin(), addresses.end());
    Bytes out = {indicator};
    if ((indicator & 3) == 1 || (indicator & 3) == 2) {
      PutVarint(out, copy_length_);
      PutVarint(out, copy_offset_);
    }
    PutVarint(out, body.size() + length_skew);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

 private:
  void AddData(const Bytes& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  void CopyBody(uint64_t address, uint64_t size, uint8_t mode) {
    if (mode == 0) {
      PutVarint(addresses, address);
    } else if (mode == 1) {
      PutVarint(addresses, here() - address);
    } else if (mode < 6) {
      EXPECT_GE(address, near_[mode - 2]) << "near slot above the address";
      PutVarint(addresses, address - near_[mode - 2]);
    } else {
      const uint64_t slot = address % 768;
      EXPECT_EQ(slot / 256, mode - 6u) << "address not in this same block";
      EXPECT_EQ(same_[slot], address) << "same slot misses";
      addresses.push_back(slot % 256);
    }
    near_[next_near_] = address;
    next_near_ = (next_near_ + 1) % 4;
    same_[address % 768] = address;
    for (uint64_t i = 0; i < size; ++i) {
      if (address + i < copy_length_) {
        const uint64_t at = copy_offset_ + address + i;  // past the source: a failing copy
        expected.push_back(source_ && at < source_->size() ? (*source_)[at] : 0);
      } else {
        expected.push_back(expected[address + i - copy_length_]);
      }
    }
  }

  const Bytes* source_;
  uint64_t copy_offset_;
  uint64_t copy_length_;
  uint64_t near_[4] = {};
  uint64_t same_[768] = {};
  int next_near_ = 0;
};

// The whole stream: the header (with the application header when it isn't empty), then the
// windows.
inline Bytes EncodeStream(const std::vector<WindowBuilder>& windows,
                          std::string_view app_header = {}) {
  Bytes out = FileHeader(app_header.empty() ? 0x00 : 0x04, app_header);
  for (const WindowBuilder& window : windows) {
    const Bytes bytes = window.Encode();
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// The target bytes the windows rebuild, in order.
inline Bytes ExpectedTarget(const std::vector<WindowBuilder>& windows) {
  Bytes target;
  for (const WindowBuilder& w : windows)
    target.insert(target.end(), w.expected.begin(), w.expected.end());
  return target;
}

}  // namespace tvl::testing
