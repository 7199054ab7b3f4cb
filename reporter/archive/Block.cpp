#include "reporter/archive/Block.h"

#include "reporter/archive/Crc32.h"
#include "reporter/archive/Deflate.h"

#include <new>

namespace ruvex {
namespace {

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t GetLittleEndian(std::string_view in, std::size_t offset, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint64_t(static_cast<std::uint8_t>(in[offset + i])) << (8 * i);
  return value;
}

}  // namespace

std::string PackBlock(std::string_view data, bool keepOnlyIfSmaller) {
  std::optional<std::string> block;
  try {
    block = TRawDeflater().Deflate(data, kBlockHeaderSize);
  } catch (const std::bad_alloc&) {
  }
  if (!block) return {};
  if (keepOnlyIfSmaller && block->size() >= data.size()) return {};
  std::string header;
  PutLittleEndian(header, data.size(), 8);
  PutLittleEndian(header, Crc32Of(data.data(), data.size()), 4);
  block->replace(0, kBlockHeaderSize, header);
  return std::move(*block);
}

std::optional<std::string> TryUnpackBlock(std::string_view block) {
  if (block.size() <= kBlockHeaderSize) return std::nullopt;
  const std::uint64_t size = GetLittleEndian(block, 0, 8);
  const auto crc = static_cast<std::uint32_t>(GetLittleEndian(block, 8, 4));
  const std::string_view stream = block.substr(kBlockHeaderSize);
  // The bound is computed so that it cannot overflow: stream length stays far
  // below 2^64 / kMaxInflateRatio on every platform.
  if (size > static_cast<std::uint64_t>(stream.size()) * kMaxInflateRatio + 16) return std::nullopt;
  auto data = InflateRaw(stream, size);
  if (!data || Crc32Of(data->data(), data->size()) != crc) return std::nullopt;
  return data;
}

std::string UnpackBlock(std::string_view block) { return TryUnpackBlock(block).value_or(std::string()); }

}  // namespace ruvex
