// OLE for the calling thread while the object lives, uninitialised only if it was initialised.
#pragma once

#include <ole2.h>

namespace tvl {

class OleSession {
 public:
  OleSession() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~OleSession() {
    if (initialised_) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

  bool initialised() const { return initialised_; }

 private:
  bool initialised_;
};

}  // namespace tvl
