#include "tests/app/synthetic_window_fixture.h"

#include <filesystem>

#include "catalogue/catalogue.h"
#include "resources/main_window_ids.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::testing {

std::vector<uint8_t> Bytes(std::u16string_view id) {
  auto bytes = SyntheticReleaseBytes(id);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void SyntheticWindowTest::SetUp() {
  MainWindowTest::SetUp();
  work_ = scratch_.path() / "work";
  std::filesystem::create_directory(work_);
}

void SyntheticWindowTest::Prepare(std::u16string_view id, std::u16string_view target) {
  input_ = WriteSyntheticRelease(work_, id, "input.wad");
  Open();
  Browse(input_);
  ASSERT_TRUE(ui_.messages.empty());
  ASSERT_EQ(ItemText(window_, IDC_INPUT_PATH), input_.native());
  int line = LineOf(GetIwad(FindIwadByReleaseId(target)).title);
  ASSERT_GE(line, 0);
  ClickTarget(line);
  ASSERT_TRUE(ItemEnabled(window_, IDC_PATCH));
}

}  // namespace tvl::testing
