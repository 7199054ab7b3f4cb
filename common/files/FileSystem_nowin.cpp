// IFileSystem over the C++ standard library, for builds without the
// Windows API.
#include "common/files/FileSystem.h"

#include <unistd.h>


#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace kelvane {
namespace {

namespace fs = std::filesystem;

fs::path ToPath(const std::u16string& path) { return fs::path(path); }

// Seconds since 1970 of the last write, 0 when unknown.
std::int64_t WriteSecondsOf(const fs::path& p) {
  std::error_code ec;
  const auto written = fs::last_write_time(p, ec);
  if (ec) return 0;
  const auto sys = std::chrono::file_clock::to_sys(written);
  return static_cast<std::int64_t>(std::chrono::system_clock::to_time_t(sys));
}

TLocalTime LocalTimeOf(std::int64_t writeSeconds) {
  TLocalTime t{1980, 1, 1};
  const std::time_t seconds = static_cast<std::time_t>(writeSeconds);
  std::tm parts{};
  if (!localtime_r(&seconds, &parts)) return t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  return t;
}

// Writes through stdio; the file is made with "x" so that it never existed.
class TStdioWriter final : public IFileWriter {
 public:
  explicit TStdioWriter(std::FILE* file) : file_(file) {}
  ~TStdioWriter() override {
    if (file_) std::fclose(file_);
  }
  bool Write(std::string_view bytes) override {
    return file_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
  }
  bool Close() override {
    if (!file_) return false;
    const bool ok = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok && closed;
  }

 private:
  std::FILE* file_;
};


class TStdFileSystem final : public IFileSystem {
 public:
  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override;
  std::optional<TFileStat> Stat(const std::u16string& path) override;
  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override;
  bool Replace(const std::u16string& from, const std::u16string& to) override;
  bool Remove(const std::u16string& path) override;
};

std::uint32_t AttributesOf(const fs::path& p) {
  std::uint32_t attributes = kAttrArchive;
  std::error_code ec;
  const auto perms = fs::status(p, ec).permissions();
  if (!ec && (perms & fs::perms::owner_write) == fs::perms::none) attributes |= kAttrReadOnly;
  return attributes;
}

}  // namespace

std::optional<TSourceFile> TStdFileSystem::ReadSource(const std::u16string& path, std::uint64_t maxSize) {
  const fs::path p = ToPath(path);
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  const std::uint64_t size = fs::file_size(p, ec);
  if (ec || size > maxSize) return std::nullopt;
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  TSourceFile source;
  try {
    source.data.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  in.read(source.data.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::uint64_t>(in.gcount()) != size) return std::nullopt;
  source.attributes = AttributesOf(p);
  source.writeSeconds = WriteSecondsOf(p);
  source.modified = LocalTimeOf(source.writeSeconds);
  return source;
}

std::optional<TFileStat> TStdFileSystem::Stat(const std::u16string& path) {
  const fs::path p = ToPath(path);
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  TFileStat stat;
  stat.size = fs::file_size(p, ec);
  if (ec) return std::nullopt;
  stat.attributes = AttributesOf(p);
  stat.writeSeconds = WriteSecondsOf(p);
  stat.modified = LocalTimeOf(stat.writeSeconds);
  return stat;
}

std::unique_ptr<IFileWriter> TStdFileSystem::CreateExclusive(const std::u16string& path) {
  std::FILE* file = std::fopen(ToPath(path).c_str(), "wbx");
  if (!file) return nullptr;
  return std::make_unique<TStdioWriter>(file);
}

bool TStdFileSystem::Replace(const std::u16string& from, const std::u16string& to) {
  std::error_code ec;
  fs::rename(ToPath(from), ToPath(to), ec);
  return !ec;
}

bool TStdFileSystem::Remove(const std::u16string& path) {
  std::error_code ec;
  return fs::remove(ToPath(path), ec);
}

IFileSystem& DefaultFileSystem() {
  static TStdFileSystem instance;
  return instance;
}

}  // namespace kelvane
