// The wait cursor gives back the pointer it replaced, also when waits nest.
#include "app/wait_cursor.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace tvl::testing {
namespace {

TEST(WaitCursorTest, PutsBackTheCursorItReplaced) {
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  SetCursor(arrow);
  {
    WaitCursor outer;
    EXPECT_EQ(GetCursor(), wait);
    {
      WaitCursor inner;
      EXPECT_EQ(GetCursor(), wait);
    }
    EXPECT_EQ(GetCursor(), wait);
  }
  EXPECT_EQ(GetCursor(), arrow);

  // Whatever it was: the link's hand stays the hand.
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  SetCursor(hand);
  { WaitCursor wait_cursor; }
  EXPECT_EQ(GetCursor(), hand);
}

}  // namespace
}  // namespace tvl::testing
