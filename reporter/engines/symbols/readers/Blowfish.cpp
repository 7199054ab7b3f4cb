#include "reporter/engines/symbols/readers/Blowfish.h"

#include <algorithm>
#include <cstring>

namespace ruvex {

TBlowfish::TBlowfish(std::string_view key) {
  std::memcpy(p_, blowfish_tables::kInitialP, sizeof p_);
  std::memcpy(s_, blowfish_tables::kInitialS, sizeof s_);
  if (key.size() > 56) key = key.substr(0, 56);
  if (!key.empty()) {
    std::size_t k = 0;
    for (std::uint32_t& p : p_) {
      std::uint32_t word = 0;
      for (int i = 0; i < 4; ++i) {
        word = (word << 8) | static_cast<std::uint8_t>(key[k]);
        k = (k + 1) % key.size();
      }
      p ^= word;
    }
  }
  std::uint32_t l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptBlock(l, r);
    p_[i] = l;
    p_[i + 1] = r;
  }
  for (auto& box : s_)
    for (int i = 0; i < 256; i += 2) {
      EncryptBlock(l, r);
      box[i] = l;
      box[i + 1] = r;
    }
}

std::uint32_t TBlowfish::F(std::uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void TBlowfish::EncryptBlock(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int i = 0; i < 16; ++i) {
    l ^= p_[i];
    r ^= F(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  right = r ^ p_[16];
  left = l ^ p_[17];
}

void TBlowfish::DecryptBlock(std::uint32_t& left, std::uint32_t& right) const {
  std::uint32_t l = left, r = right;
  for (int i = 17; i > 1; --i) {
    l ^= p_[i];
    r ^= F(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  right = r ^ p_[1];
  left = l ^ p_[0];
}

namespace {

std::uint32_t LoadBig(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

void StoreBig(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (24 - 8 * i));
}

template <class Op>
void EachBlock(std::string& data, Op op) {
  for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
    std::uint32_t l = LoadBig(&data[at]), r = LoadBig(&data[at + 4]);
    op(l, r);
    StoreBig(&data[at], l);
    StoreBig(&data[at + 4], r);
  }
}

}  // namespace

void TBlowfish::EncryptEcb(std::string& data) const {
  EachBlock(data, [this](std::uint32_t& l, std::uint32_t& r) { EncryptBlock(l, r); });
}

void TBlowfish::DecryptEcb(std::string& data) const {
  EachBlock(data, [this](std::uint32_t& l, std::uint32_t& r) { DecryptBlock(l, r); });
}

}  // namespace ruvex
