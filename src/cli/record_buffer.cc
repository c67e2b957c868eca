#include "cli/record_buffer.h"

#include <cstdlib>
#include <cstring>

namespace idstamp {

RecordBuffer::~RecordBuffer() { std::free(heap_); }

bool RecordBuffer::grow() {
  if (capacity_ > static_cast<std::size_t>(-1) / 2) return false;
  const std::size_t bigger = capacity_ * 2;
  void* const p = heap_ != nullptr ? std::realloc(heap_, bigger) : std::malloc(bigger);
  if (p == nullptr) return false;
  if (heap_ == nullptr) std::memcpy(p, own_, capacity_);
  heap_ = static_cast<char*>(p);
  capacity_ = bigger;
  return true;
}

}  // namespace idstamp
