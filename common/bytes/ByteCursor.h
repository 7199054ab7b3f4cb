#pragma once
// A bounds-checked little-endian reader over untrusted bytes: every read
// says whether the bytes were there, and the position never leaves the data.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace kelvane {

class TByteCursor {
 public:
  explicit TByteCursor(std::string_view data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  bool Seek(std::size_t pos) {
    if (pos > data_.size()) return false;
    pos_ = pos;
    return true;
  }
  bool Skip(std::size_t n) { return n <= Remaining() ? (pos_ += n, true) : false; }

  template <class T>
  bool Read(T& value) {
    static_assert(std::is_integral_v<T>);
    if (Remaining() < sizeof(T)) return false;
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
      v |= static_cast<std::make_unsigned_t<T>>(static_cast<std::uint8_t>(data_[pos_ + i])) << (8 * i);
    value = static_cast<T>(v);
    pos_ += sizeof(T);
    return true;
  }
  bool Bytes(std::size_t n, std::string_view& out) {
    if (n > Remaining()) return false;
    out = data_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  // `count` records of at least `minSize` bytes each can still follow.
  bool CanHold(std::uint64_t count, std::size_t minSize) const {
    return minSize == 0 || count <= Remaining() / minSize;
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
};

}  // namespace kelvane
