#include "reporter/archive/FileSystem.h"

#include <atomic>
#include <chrono>

namespace ruvex {

std::unique_ptr<IFileWriter> CreateSibling(IFileSystem& fs, const std::u16string& path,
                                           std::u16string& tempPath) {
  static std::atomic<std::uint32_t> counter{0};
  const auto tick = static_cast<std::uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::uint32_t tag = tick ^ (counter.fetch_add(1) * 0x9E3779B9u);
    std::u16string suffix = u".~";
    for (int i = 0; i < 8; ++i, tag >>= 4) suffix.push_back(u"0123456789abcdef"[tag & 15]);
    tempPath = path + suffix;
    if (auto writer = fs.CreateExclusive(tempPath)) return writer;
  }
  tempPath.clear();
  return nullptr;
}

bool WriteFileReplacing(IFileSystem& fs, const std::u16string& path, std::string_view bytes) {
  std::u16string temp;
  auto writer = CreateSibling(fs, path, temp);
  if (!writer) return false;
  const bool written = writer->Write(bytes);
  const bool closed = writer->Close();
  if (written && closed && fs.Replace(temp, path)) return true;
  fs.Remove(temp);
  return false;
}

}  // namespace ruvex
