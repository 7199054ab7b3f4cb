#include "launcher/platform/Win32Platform_win.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"

namespace kelvane {
namespace {

// The records the launcher fills have these sizes on the shipped 32-bit build.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68);
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60);

class Win32RegistryKey : public IRegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  std::optional<RegistryValue> QueryValue(const std::u16string& name) override {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, Wide(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    // The value may grow between the two calls: retry with the new size.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::string data(size, '\0');
      DWORD got = size;
      const LONG rc = RegQueryValueExW(key_, Wide(name), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_SUCCESS) {
        data.resize(got);
        return RegistryValue{type, std::move(data)};
      }
      if (rc != ERROR_MORE_DATA) return std::nullopt;
      size = got;
    }
    return std::nullopt;
  }

  std::vector<std::u16string> SubkeyNames() override {
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return {};
    std::vector<std::u16string> names;
    std::vector<wchar_t> buffer(longest + 1);
    for (DWORD i = 0; i < count; ++i) {
      DWORD length = static_cast<DWORD>(buffer.size());
      if (RegEnumKeyExW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        names.push_back(FromWide(buffer.data(), length));
    }
    return names;
  }

 private:
  HKEY key_;
};

class Win32Platform : public ILauncherPlatform {
 public:
  std::u16string ModuleFileName() override {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n < buffer.size()) return FromWide(buffer.data(), n);
      buffer.resize(buffer.size() * 2);
    }
  }

  std::u16string CommandLine() override {
    const wchar_t* line = GetCommandLineW();
    return FromWide(line, wcslen(line));
  }

  std::uint32_t WriteStandardOutput(std::u16string_view text) override {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN)
      return kNoStandardOutput;
    DWORD mode = 0;
    const UINT codePage = GetConsoleMode(out, &mode) ? GetConsoleOutputCP() : CP_ACP;
    const std::string bytes = Encode(text, codePage);
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD written = 0;
      if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr))
        return GetLastError();
      if (written == 0) return ERROR_WRITE_FAULT;
      done += written;
    }
    return 0;
  }

  std::uint32_t ReadStandardInputLine() override {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    for (;;) {
      char c = 0;
      DWORD got = 0;
      if (!ReadFile(in, &c, 1, &got, nullptr)) {
        const DWORD error = GetLastError();
        return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : error;
      }
      if (got == 0 || c == '\n') return 0;  // end of input, or end of the line
    }
  }

  bool FileExists(const std::u16string& path) override {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return LinkTargetOpens(path);
      return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME) return false;
    return ExistsButLocked(path);
  }

  std::uint32_t ReadFileDenyingWriters(const std::u16string& path, std::string& bytes) override {
    TWinHandle file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    if (size.QuadPart > 0x7FFFFFFF) return ERROR_FILE_TOO_LARGE;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD got = 0;
      if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
        return GetLastError();
      if (got == 0) break;  // the file shrank meanwhile
      done += got;
    }
    bytes.resize(done);
    return 0;
  }

  std::u16string FullPathName(const std::u16string& path) override {
    if (path.empty()) return path;
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD n = GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n >= buffer.size()) {
      buffer.resize(n + 1);
      n = GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    }
    return n == 0 || n >= buffer.size() ? path : FromWide(buffer.data(), n);
  }

  std::u16string SystemErrorText(std::uint32_t code) override {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
            FORMAT_MESSAGE_ARGUMENT_ARRAY,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message = n ? FromWide(text, n) : std::u16string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
      message.pop_back();
    return message;
  }

  std::unique_ptr<IRegistryKey> OpenRegistryKey(RegistryRoot root, const std::u16string& subkey,
                                                std::uint32_t access) override {
    HKEY key = nullptr;
    const HKEY base = root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
    if (RegOpenKeyExW(base, Wide(subkey), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
  }

  bool CreateChildProcess(const ProcessStartRequest& request) override {
    // Windows refuses a process with neither program nor command line; say
    // so without asking (some implementations of the API crash on it).
    if (request.commandLine.empty()) return false;
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> commandLine(request.commandLine.begin(), request.commandLine.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = request.startupFlags;
    startup.wShowWindow = request.showWindow;
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessW(nullptr, commandLine.data(),
                                        nullptr, nullptr, request.inheritHandles, request.creationFlags, nullptr,
                                        WideOrNull(request.currentDirectory), &startup, &info);
    if (created) {
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
    return created != FALSE;
  }

  void RequestShellExecute(const ShellExecuteRequest& request) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = request.mask;
    info.lpVerb = WideOrNull(request.verb);
    info.lpFile = WideOrNull(request.file);
    info.lpParameters = WideOrNull(request.parameters);
    info.lpDirectory = WideOrNull(request.directory);
    info.nShow = request.show;
    ShellExecuteExW(&info);
  }

  bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) override {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(a.data()),
                          static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
  }

  std::u16string UpperCase(std::u16string_view text) override {
    std::u16string out(text);
    if (!out.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    return out;
  }

  std::u16string LowerCase(std::u16string_view text) override {
    std::u16string out(text);
    if (!out.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    return out;
  }

  std::u16string DecodeAnsi(std::string_view bytes) override {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(n, u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
  }

  std::uint32_t AnsiCodePage() override { return GetACP(); }

  void ShowErrorBox(const std::u16string& title, const std::u16string& text) override {
    MessageBoxW(nullptr, Wide(text), Wide(title), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  }

 private:
  static std::string Encode(std::u16string_view text, UINT codePage) {
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
  }

  // A link exists when its target opens for reading, or is only locked.
  static bool LinkTargetOpens(const std::u16string& path) {
    TWinHandle file(
        CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file || GetLastError() == ERROR_SHARING_VIOLATION;
  }

  // The attributes could not be read: a directory search still sees a file
  // that is locked or whose attributes we may not read.
  static bool ExistsButLocked(const std::u16string& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Wide(path), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
};

}  // namespace

std::unique_ptr<ILauncherPlatform> MakeWin32Platform() { return std::make_unique<Win32Platform>(); }

}  // namespace kelvane
