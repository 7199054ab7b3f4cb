#pragma once
// The Blowfish block cipher (64-bit blocks, keys of 1 to 56 bytes, halves
// read big-endian), in ECB mode over whole 8-byte blocks: the cipher of the
// compact symbol format.
#include <cstdint>
#include <string>
#include <string_view>

namespace ruvex {

namespace blowfish_tables {
extern const std::uint32_t kInitialP[18];
extern const std::uint32_t kInitialS[4][256];
}  // namespace blowfish_tables

class TBlowfish {
 public:
  // An empty key leaves the initial subkeys; keys longer than 56 bytes are
  // cut to 56.
  explicit TBlowfish(std::string_view key);

  void EncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
  void DecryptBlock(std::uint32_t& left, std::uint32_t& right) const;

  // Every whole 8-byte block of data in place; a shorter tail stays plain.
  void EncryptEcb(std::string& data) const;
  void DecryptEcb(std::string& data) const;

 private:
  std::uint32_t F(std::uint32_t x) const;
  std::uint32_t p_[18];
  std::uint32_t s_[4][256];
};

}  // namespace ruvex
