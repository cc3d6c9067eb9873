#include <utility>

#include "platform/file_view.h"

namespace tvl {

FileView::~FileView() { Unmap(); }

FileView::FileView(FileView&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      guard_slot_(std::exchange(other.guard_slot_, -1)) {}

FileView& FileView::operator=(FileView&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    guard_slot_ = std::exchange(other.guard_slot_, -1);
  }
  return *this;
}

}  // namespace tvl
