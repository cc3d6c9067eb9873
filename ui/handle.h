// Handles that own themselves: fonts, pens, global memory and COM references are released on
// every path when their owner goes out of scope.
#pragma once

#include <windows.h>

#include <type_traits>

namespace tvl {

// A non-copyable owner of one handle of type T, closed with `Close` unless it is null or has been
// detached.
template <typename T, void (*CloseHandleOf)(T)>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T value) : value_(value) {}
  ~Owned() { Close(); }
  Owned(Owned&& other) noexcept : value_(other.Detach()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != T(); }
  // For interface pointers.
  T operator->() const requires std::is_pointer_v<T> { return value_; }

  // Closes the current handle and takes `value`.
  void Attach(T value) {
    Close();
    value_ = value;
  }
  // Gives the handle up without closing it.
  T Detach() {
    T value = value_;
    value_ = T();
    return value;
  }
  void Close() {
    if (value_ != T()) CloseHandleOf(Detach());
  }
  // For calls that return a new handle through an out parameter.
  T* Receive() {
    Close();
    return &value_;
  }

 private:
  T value_ = T();
};

template <typename GdiObject>
void DeleteGdiObject(GdiObject object) {
  DeleteObject(object);
}
inline void FreeGlobal(HGLOBAL memory) { GlobalFree(memory); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
template <typename Interface>
void ReleaseInterface(Interface* object) {
  object->Release();
}

using OwnedFont = Owned<HFONT, DeleteGdiObject<HFONT>>;
using OwnedPen = Owned<HPEN, DeleteGdiObject<HPEN>>;
using OwnedGlobal = Owned<HGLOBAL, FreeGlobal>;
// Null when empty: take INVALID_HANDLE_VALUE from CreateFileW as null.
using OwnedHandle = Owned<HANDLE, CloseKernelHandle>;
// One reference to a COM object.
template <typename Interface>
using ComRef = Owned<Interface*, ReleaseInterface<Interface>>;

// Global memory locked for the lifetime of this object.
template <typename T>
class GlobalLocked {
 public:
  explicit GlobalLocked(HGLOBAL memory)
      : memory_(memory), data_(static_cast<T*>(memory ? GlobalLock(memory) : nullptr)) {}
  ~GlobalLocked() {
    if (data_) GlobalUnlock(memory_);
  }
  GlobalLocked(const GlobalLocked&) = delete;
  GlobalLocked& operator=(const GlobalLocked&) = delete;

  T* get() const { return data_; }
  T* operator->() const { return data_; }

 private:
  HGLOBAL memory_;
  T* data_;
};

}  // namespace tvl
