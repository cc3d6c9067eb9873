// High contrast switched on for one test, where the system lets a program switch it.
#pragma once

#include <windows.h>

namespace tvl::testing {

// Switches high contrast on for one test and puts back what the system had, on every way out.
class HighContrastOn {
 public:
  HighContrastOn() {
    saved_.cbSize = sizeof saved_;
    saved_.lpszDefaultScheme = scheme_;
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof saved_, &saved_, 0)) return;
    HIGHCONTRASTW on = saved_;
    on.dwFlags |= HCF_HIGHCONTRASTON;
    switched_ = SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof on, &on, 0);
  }
  ~HighContrastOn() {
    if (switched_) SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof saved_, &saved_, 0);
  }
  HighContrastOn(const HighContrastOn&) = delete;
  HighContrastOn& operator=(const HighContrastOn&) = delete;
  bool switched() const { return switched_; }

 private:
  wchar_t scheme_[256] = {};
  HIGHCONTRASTW saved_ = {};
  bool switched_ = false;
};

}  // namespace tvl::testing
