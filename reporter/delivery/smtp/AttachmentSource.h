#pragma once
// An attachment as the SMTP client reads it: streamed, never held whole.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ruvex {

class IAttachmentSource {
 public:
  virtual ~IAttachmentSource() = default;
  // The size taken when the file was opened.
  virtual std::uint64_t Size() = 0;
  virtual bool Rewind() = 0;
  // Up to length bytes; 0 at the end or on a read error.
  virtual std::size_t Read(char* buffer, std::size_t length) = 0;
};

// An attachment in memory, for tests; failAfter cuts the reading short
// there, as a failing disk would.
class TMemoryAttachment final : public IAttachmentSource {
 public:
  explicit TMemoryAttachment(std::string data, std::uint64_t failAfter = UINT64_MAX)
      : data_(std::move(data)), failAfter_(failAfter) {}
  std::uint64_t Size() override { return data_.size(); }
  bool Rewind() override {
    position_ = 0;
    return true;
  }
  std::size_t Read(char* buffer, std::size_t length) override {
    std::uint64_t end = position_ + length;
    if (end > data_.size()) end = data_.size();
    if (end > failAfter_) end = failAfter_ > position_ ? failAfter_ : position_;
    const std::size_t n = static_cast<std::size_t>(end - position_);
    data_.copy(buffer, n, static_cast<std::size_t>(position_));
    position_ = end;
    return n;
  }

 private:
  std::string data_;
  std::uint64_t failAfter_;
  std::uint64_t position_ = 0;
};

}  // namespace ruvex
