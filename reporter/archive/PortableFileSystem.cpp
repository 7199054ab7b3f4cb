#include "reporter/archive/PortableFileSystem.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "common/Utf.h"

namespace ruvex {
namespace {

namespace fs = std::filesystem;

fs::path ToPath(const std::u16string& path) {
#ifdef _WIN32
  return fs::path(std::wstring(path.begin(), path.end()));
#else
  return fs::path(kelvane::Utf16ToUtf8(path));
#endif
}

TLocalTime LocalTimeOf(const fs::path& p) {
  TLocalTime t;
  std::error_code ec;
  const auto written = fs::last_write_time(p, ec);
  if (ec) return t;
  const auto sys = std::chrono::file_clock::to_sys(written);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(sys);
  std::tm parts{};
#ifdef _WIN32
  if (localtime_s(&parts, &seconds) != 0) return t;
#else
  if (!localtime_r(&seconds, &parts)) return t;
#endif
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
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::optional<TSourceFile> TPortableFileSystem::ReadSource(const std::u16string& path, std::uint64_t maxSize) {
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
  source.attributes = kAttrArchive;
  const auto perms = fs::status(p, ec).permissions();
  if (!ec && (perms & fs::perms::owner_write) == fs::perms::none) source.attributes |= kAttrReadOnly;
  source.modified = LocalTimeOf(p);
  return source;
}

std::unique_ptr<IFileWriter> TPortableFileSystem::CreateExclusive(const std::u16string& path) {
#ifdef _WIN32
  std::FILE* file = _wfopen(ToPath(path).c_str(), L"wbx");
#else
  std::FILE* file = std::fopen(ToPath(path).c_str(), "wbx");
#endif
  if (!file) return nullptr;
  return std::make_unique<TStdioWriter>(file);
}

bool TPortableFileSystem::Replace(const std::u16string& from, const std::u16string& to) {
  std::error_code ec;
  fs::rename(ToPath(from), ToPath(to), ec);
  return !ec;
}

bool TPortableFileSystem::Remove(const std::u16string& path) {
  std::error_code ec;
  return fs::remove(ToPath(path), ec);
}

#ifndef _WIN32
IFileSystem& DefaultFileSystem() {
  static TPortableFileSystem instance;
  return instance;
}
#endif

}  // namespace ruvex
