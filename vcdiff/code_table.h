// The default instruction code table of RFC 3284, built at compile time.
//
// Shared by the decoder and the encoder. An opcode byte indexes the table; each entry holds up to
// two instructions ("halves"). A type is kCodeNoop, kCodeAdd, kCodeRun, or kCodeCopy + m for a
// COPY with address mode m (0 to 8, see address_cache.h). A size of 0 means that the size follows
// as an integer in the instructions section.
#pragma once

#include <array>
#include <cstdint>

namespace tvl {

// RFC 3284 section 5.4: "NOOP: 0, ADD: 1, RUN: 2, COPY: 3".
inline constexpr uint8_t kCodeNoop = 0;
inline constexpr uint8_t kCodeAdd = 1;
inline constexpr uint8_t kCodeRun = 2;
inline constexpr uint8_t kCodeCopy = 3;  // 3 + address mode

struct CodeTableEntry {
  uint8_t type1;
  uint8_t size1;
  uint8_t type2;
  uint8_t size2;
};

using CodeTable = std::array<CodeTableEntry, 256>;

// RFC 3284 section 5.6, "the default code table":
//
//         TYPE      SIZE     MODE    TYPE     SIZE     MODE     INDEX
//        ---------------------------------------------------------------
//     1.  RUN         0        0     NOOP       0        0        0
//     2.  ADD    0, [1,17]     0     NOOP       0        0      [1,18]
//     3.  COPY   0, [4,18]     0     NOOP       0        0     [19,34]
//     4.  COPY   0, [4,18]     1     NOOP       0        0     [35,50]
//     5.  COPY   0, [4,18]     2     NOOP       0        0     [51,66]
//     6.  COPY   0, [4,18]     3     NOOP       0        0     [67,82]
//     7.  COPY   0, [4,18]     4     NOOP       0        0     [83,98]
//     8.  COPY   0, [4,18]     5     NOOP       0        0     [99,114]
//     9.  COPY   0, [4,18]     6     NOOP       0        0    [115,130]
//    10.  COPY   0, [4,18]     7     NOOP       0        0    [131,146]
//    11.  COPY   0, [4,18]     8     NOOP       0        0    [147,162]
//    12.  ADD       [1,4]      0     COPY     [4,6]      0    [163,174]
//    13.  ADD       [1,4]      0     COPY     [4,6]      1    [175,186]
//    14.  ADD       [1,4]      0     COPY     [4,6]      2    [187,198]
//    15.  ADD       [1,4]      0     COPY     [4,6]      3    [199,210]
//    16.  ADD       [1,4]      0     COPY     [4,6]      4    [211,222]
//    17.  ADD       [1,4]      0     COPY     [4,6]      5    [223,234]
//    18.  ADD       [1,4]      0     COPY       4        6    [235,238]
//    19.  ADD       [1,4]      0     COPY       4        7    [239,242]
//    20.  ADD       [1,4]      0     COPY       4        8    [243,246]
//    21.  COPY        4      [0,8]   ADD        1        0    [247,255]
//
// Within a row the first instruction's size varies slowest (163 is ADD 1 + COPY 4, 164 is
// ADD 1 + COPY 5, ..., 166 is ADD 2 + COPY 4).
constexpr CodeTable BuildDefaultCodeTable() {
  CodeTable table{};
  int i = 0;
  // Row 1.
  table[i++] = {kCodeRun, 0, kCodeNoop, 0};
  // Row 2: ADD with an explicit size, then sizes 1 to 17.
  table[i++] = {kCodeAdd, 0, kCodeNoop, 0};
  for (uint8_t size = 1; size <= 17; ++size) table[i++] = {kCodeAdd, size, kCodeNoop, 0};
  // Rows 3 to 11: for each of the 9 modes, COPY with an explicit size, then sizes 4 to 18.
  for (uint8_t mode = 0; mode <= 8; ++mode) {
    table[i++] = {static_cast<uint8_t>(kCodeCopy + mode), 0, kCodeNoop, 0};
    for (uint8_t size = 4; size <= 18; ++size) {
      table[i++] = {static_cast<uint8_t>(kCodeCopy + mode), size, kCodeNoop, 0};
    }
  }
  // Rows 12 to 17: ADD 1-4 paired with COPY 4-6 in modes 0 to 5.
  for (uint8_t mode = 0; mode <= 5; ++mode) {
    for (uint8_t add = 1; add <= 4; ++add) {
      for (uint8_t copy = 4; copy <= 6; ++copy) {
        table[i++] = {kCodeAdd, add, static_cast<uint8_t>(kCodeCopy + mode), copy};
      }
    }
  }
  // Rows 18 to 20: ADD 1-4 paired with COPY 4 in the same-cache modes 6 to 8.
  for (uint8_t mode = 6; mode <= 8; ++mode) {
    for (uint8_t add = 1; add <= 4; ++add) {
      table[i++] = {kCodeAdd, add, static_cast<uint8_t>(kCodeCopy + mode), 4};
    }
  }
  // Row 21: COPY 4 in each mode, then ADD 1.
  for (uint8_t mode = 0; mode <= 8; ++mode) {
    table[i++] = {static_cast<uint8_t>(kCodeCopy + mode), 4, kCodeAdd, 1};
  }
  return table;
}

// The table every stream uses (application-defined tables are refused).
inline constexpr CodeTable DefaultCodeTable = BuildDefaultCodeTable();

// Spot checks against the RFC's index column.
static_assert(DefaultCodeTable[18].type1 == kCodeAdd && DefaultCodeTable[18].size1 == 17);
static_assert(DefaultCodeTable[162].type1 == kCodeCopy + 8 && DefaultCodeTable[162].size1 == 18);
static_assert(DefaultCodeTable[163].type1 == kCodeAdd && DefaultCodeTable[163].size1 == 1 &&
              DefaultCodeTable[163].type2 == kCodeCopy + 0 && DefaultCodeTable[163].size2 == 4);
static_assert(DefaultCodeTable[246].type1 == kCodeAdd && DefaultCodeTable[246].size1 == 4 &&
              DefaultCodeTable[246].type2 == kCodeCopy + 8 && DefaultCodeTable[246].size2 == 4);
static_assert(DefaultCodeTable[255].type1 == kCodeCopy + 8 && DefaultCodeTable[255].size1 == 4 &&
              DefaultCodeTable[255].type2 == kCodeAdd && DefaultCodeTable[255].size2 == 1);

}  // namespace tvl
