// IFileSystem over the C++ standard library and POSIX, for builds without
// the Windows API. Exclusive holds are open file description locks, which
// keep out other processes and other openers in this one alike.
#include "common/files/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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


// Owns one POSIX file descriptor.
class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd = -1) : fd_(fd) {}
  ~TFileDescriptor() { Reset(); }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::size_t ReadSome(int fd, char* buffer, std::size_t length) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, length);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

class TPosixReader final : public IFileReader {
 public:
  TPosixReader(int fd, std::uint64_t size) : file_(fd), size_(size) {}
  std::uint64_t Size() override { return size_; }
  bool Rewind() override { return ::lseek(file_.Get(), 0, SEEK_SET) == 0; }
  std::size_t Read(char* buffer, std::size_t length) override { return ReadSome(file_.Get(), buffer, length); }

 private:
  TFileDescriptor file_;
  std::uint64_t size_;
};

// An exclusive lock on the whole file, owned by this open file description
// only; false while another description holds one.
bool LockWholeFile(int fd) {
#ifdef F_OFD_SETLK
  struct flock lock{};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
#else
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
#endif
}

// Whether path still names the file open at fd. A holder that replaced the
// file released the lock on the old one, which a late opener may then get.
bool StillAtPath(int fd, const fs::path& p) {
  struct stat open{}, named{};
  return ::fstat(fd, &open) == 0 && ::stat(p.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino && S_ISREG(open.st_mode);
}

class TPosixExclusiveFile final : public IExclusiveFile {
 public:
  TPosixExclusiveFile(IFileSystem& fs, int fd, std::u16string path) : fs_(fs), file_(fd), path_(std::move(path)) {}

  std::optional<std::uint64_t> Size() override {
    struct stat info{};
    if (!file_ || ::fstat(file_.Get(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
  }

  std::optional<std::string> ReadFrom(std::uint64_t offset) override {
    const auto size = Size();
    if (!size || offset > *size) return std::nullopt;
    std::string bytes;
    try {
      bytes.resize(static_cast<std::size_t>(*size - offset));
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::pread(file_.Get(), bytes.data() + done, bytes.size() - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return std::nullopt;
      done += static_cast<std::size_t>(got);
    }
    return bytes;
  }

  // The new file takes the name while the old one is still locked, so that
  // every opener sees either the old file locked or the new one.
  bool Replace(std::string_view bytes) override {
    if (!file_) return false;
    const bool replaced = WriteFileReplacing(fs_, path_, bytes);
    file_.Reset();
    return replaced;
  }

 private:
  IFileSystem& fs_;
  TFileDescriptor file_;
  std::u16string path_;
};

class TStdFileSystem final : public IFileSystem {
 public:
  std::optional<TSourceFile> ReadSource(const std::u16string& path, std::uint64_t maxSize) override;
  std::optional<TFileStat> Stat(const std::u16string& path) override;
  std::unique_ptr<IFileWriter> CreateExclusive(const std::u16string& path) override;
  bool Replace(const std::u16string& from, const std::u16string& to) override;
  bool Remove(const std::u16string& path) override;
  std::unique_ptr<IFileReader> OpenRead(const std::u16string& path) override;
  std::unique_ptr<IExclusiveFile> OpenExclusive(const std::u16string& path) override;
  bool CreateFolders(const std::u16string& folder) override;
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

std::unique_ptr<IFileReader> TStdFileSystem::OpenRead(const std::u16string& path) {
  TFileDescriptor file(::open(ToPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info{};
  if (!file || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  auto reader = std::make_unique<TPosixReader>(file.Get(), static_cast<std::uint64_t>(info.st_size));
  static_cast<void>(file.Release());
  return reader;
}

std::unique_ptr<IExclusiveFile> TStdFileSystem::OpenExclusive(const std::u16string& path) {
  const fs::path p = ToPath(path);
  TFileDescriptor file(::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!file || !LockWholeFile(file.Get()) || !StillAtPath(file.Get(), p)) return nullptr;
  auto hold = std::make_unique<TPosixExclusiveFile>(*this, file.Get(), path);
  static_cast<void>(file.Release());
  return hold;
}

bool TStdFileSystem::CreateFolders(const std::u16string& folder) {
  std::error_code ec;
  fs::create_directories(ToPath(folder), ec);
  return fs::is_directory(ToPath(folder), ec);
}

IFileSystem& DefaultFileSystem() {
  static TStdFileSystem instance;
  return instance;
}

}  // namespace kelvane
