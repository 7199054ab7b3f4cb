#include "common/files/FileSystem.h"

#include "common/text/HexText.h"

#include <atomic>
#include <chrono>

namespace kelvane {

std::unique_ptr<IFileWriter> CreateSibling(IFileSystem& fs, const std::u16string& path,
                                           std::u16string& tempPath) {
  static std::atomic<std::uint32_t> counter{0};
  const auto tick = static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::uint32_t tag = tick ^ (counter.fetch_add(1) * 0x9E3779B9u);
    tempPath = path + u".~" + HexLower16(tag, 8);
    if (auto writer = fs.CreateExclusive(tempPath)) return writer;
  }
  tempPath.clear();
  return nullptr;
}

std::optional<std::string> ReadWholeFile(IFileSystem& fs, const std::u16string& path, std::uint64_t maxSize) {
  auto source = fs.ReadSource(path, maxSize);
  if (!source) return std::nullopt;
  return std::move(source->data);
}

std::u16string WriteSibling(IFileSystem& fs, const std::u16string& path, std::string_view bytes) {
  std::u16string temp;
  auto writer = CreateSibling(fs, path, temp);
  if (!writer) return {};
  const bool written = writer->Write(bytes);
  const bool closed = writer->Close();
  writer.reset();
  if (written && closed) return temp;
  fs.Remove(temp);
  return {};
}

bool WriteFileReplacing(IFileSystem& fs, const std::u16string& path, std::string_view bytes) {
  const std::u16string temp = WriteSibling(fs, path, bytes);
  if (temp.empty()) return false;
  if (fs.Replace(temp, path)) return true;
  fs.Remove(temp);
  return false;
}

}  // namespace kelvane
