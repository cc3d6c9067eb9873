// The synthetic streams of the test store (tests/patches/data), rebuilt from their recipes so
// that tests can check the embedded bytes and what they decode to. None is derived from a game
// release: the source is a counting pattern and the targets are made up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::testing {

// The source the test store's streams expect: 6000 bytes, byte i = (7i + 3) mod 256.
inline std::vector<uint8_t> TestStoreSource() {
  std::vector<uint8_t> source(6000);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(7 * i + 3);
  return source;
}

// "doom2_v19_to_doom2_xbox": two windows. The first copies across the end of source block 0 and
// adds text; the second takes a short segment further on and copies within its own target.
inline std::vector<WindowBuilder> TestStoreXboxWindows() {
  const std::vector<uint8_t> source = TestStoreSource();
  WindowBuilder first(&source, 0, 6000);
  first.Copy(4000, 300, 0);
  first.Add({'s', 'y', 'n', 't', 'h', 'e', 't', 'i', 'c'});
  first.Run(10, 'x');
  WindowBuilder second(&source, 5000, 1000);
  second.Copy(990, 10, 0);
  second.CopyTarget(4, 20);
  return {first, second};
}

// "chex3_moddb_to_chex3_v14", the first name of the table: one window without a source.
inline std::vector<WindowBuilder> TestStoreChexWindows() {
  WindowBuilder window;
  window.indicator = 0x04;  // no source
  window.Add({'c', 'h', 'e', 'x'});
  return {window};
}

// "doom64_v11_to_doom64_v10", the last name of the table: one window of one run.
inline std::vector<WindowBuilder> TestStoreDoom64Windows() {
  WindowBuilder window(nullptr, 0, 16);  // a segment it never copies from
  window.Run(64, 0x64);
  return {window};
}

struct TestStoreStream {
  const char16_t* name;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> target;
};

inline std::vector<TestStoreStream> TestStoreStreams() {
  auto make = [](const char16_t* name, const std::vector<WindowBuilder>& windows,
                 std::string_view app_header) {
    return TestStoreStream{name, EncodeStream(windows, app_header), ExpectedTarget(windows)};
  };
  return {
      make(u"doom2_v19_to_doom2_xbox", TestStoreXboxWindows(), "doom2_xbox.wad//doom2_v19.wad/"),
      make(u"chex3_moddb_to_chex3_v14", TestStoreChexWindows(), "chex3_v14.wad//chex3_moddb.wad/"),
      make(u"doom64_v11_to_doom64_v10", TestStoreDoom64Windows(),
           "doom64_v10.wad//doom64_v11.wad/"),
  };
}

}  // namespace tvl::testing
