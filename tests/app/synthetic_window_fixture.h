// The main window on the synthetic releases, which the test catalogue identifies and the test
// store converts: a release written to a work folder, chosen with "...", and a target selected.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tests/app/main_window_fixture.h"

namespace tvl::testing {

// A copy of release `id`'s bytes, to compare files with.
std::vector<uint8_t> Bytes(std::u16string_view id);

class SyntheticWindowTest : public MainWindowTest {
 protected:
  void SetUp() override;

  // Writes release `id` as input.wad in work_, chooses it with "..." and selects `target`:
  // Patch! is then enabled.
  void Prepare(std::u16string_view id, std::u16string_view target);

  Path work_;  // scratch/work, unless a test picks another folder before Prepare
  Path input_;
};

}  // namespace tvl::testing
