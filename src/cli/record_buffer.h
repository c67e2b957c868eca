// The bytes a batch has read and not yet judged.
#ifndef IDSTAMP_RECORD_BUFFER_H
#define IDSTAMP_RECORD_BUFFER_H

#include <cstddef>

namespace idstamp {

// The bytes lie in a buffer of its own until a record outgrows it, then on
// the heap, which doubles as often as a record needs; malloc and realloc
// report a failure rather than throw.
class RecordBuffer {
 public:
  RecordBuffer() = default;
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;
  ~RecordBuffer();

  char* data() { return heap_ != nullptr ? heap_ : own_; }
  std::size_t capacity() const { return capacity_; }

  // Twice the room, keeping the bytes; false, keeping everything, when
  // there is no memory for it.
  bool grow();

 private:
  char own_[1 << 16] = {};
  char* heap_ = nullptr;
  std::size_t capacity_ = sizeof own_;
};

}  // namespace idstamp

#endif  // IDSTAMP_RECORD_BUFFER_H
