#pragma once
// Everything the launcher asks of Windows, as one interface. The real
// implementation (Win32Platform_win.cpp) calls the Windows API; FakePlatform
// keeps registry, files, streams and started processes in memory so that
// the launcher's logic is tested anywhere.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

enum class RegistryRoot { ClassesRoot, CurrentUser };

// Registry value types, numbered as Windows numbers them.
enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// Access rights the launcher asks for when it opens a key.
inline constexpr std::uint32_t kKeyRead = 0x20019;             // KEY_READ
inline constexpr std::uint32_t kKeyReadAndList = 0x20009;      // read rights, values, subkey listing
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;        // KEY_QUERY_VALUE
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;  // KEY_ENUMERATE_SUB_KEYS

struct RegistryValue {
  std::uint32_t type = kRegNone;
  std::string data;  // the raw bytes as stored
};

// An open registry key; closed when the object goes.
class IRegistryKey {
 public:
  virtual ~IRegistryKey() = default;
  // The value of that name (empty name: the default value), or none.
  virtual std::optional<RegistryValue> QueryValue(const std::u16string& name) = 0;
  // The names of the direct subkeys, in the registry's enumeration order.
  virtual std::vector<std::u16string> SubkeyNames() = 0;
};

// Process creation, field by field as CreateProcessW takes them. The size of
// the start-up record is the platform's own (68 bytes on 32-bit Windows).
struct ProcessStartRequest {
  std::u16string commandLine;       // empty: passed as none
  bool inheritHandles = false;
  std::uint32_t creationFlags = 0;
  std::u16string currentDirectory;  // empty: the caller's own
  std::uint32_t startupFlags = 0;   // STARTF_* of the start-up record
  std::uint16_t showWindow = 0;     // SW_* of the start-up record
};

// One ShellExecuteExW request (the record is the platform's own size, 60
// bytes on 32-bit Windows). Empty texts are passed as none.
struct ShellExecuteRequest {
  std::u16string verb;
  std::u16string file;
  std::u16string parameters;
  std::u16string directory;
  std::uint32_t mask = 0;
  std::int32_t show = 0;
};

// I/O error code of a write to a standard output that does not exist.
inline constexpr std::uint32_t kNoStandardOutput = 105;

class ILauncherPlatform {
 public:
  virtual ~ILauncherPlatform() = default;

  // Program parameters: the executable's full path and the raw command line.
  virtual std::u16string ModuleFileName() = 0;
  virtual std::u16string CommandLine() = 0;

  // Standard streams. Each returns 0 or an I/O error code: 105 when there is
  // no standard output, else the system's code. Output text is converted to
  // the console's code page for a console, to the ANSI code page otherwise.
  virtual std::uint32_t WriteStandardOutput(std::u16string_view text) = 0;
  // Reads and drops one line; end of input is no error.
  virtual std::uint32_t ReadStandardInputLine() = 0;

  // True for an existing entry that is not a directory, following links;
  // a locked file exists too.
  virtual bool FileExists(const std::u16string& path) = 0;
  // Reads a whole file with other writers refused. Returns 0 or the system
  // error code.
  virtual std::uint32_t ReadFileDenyingWriters(const std::u16string& path, std::string& bytes) = 0;
  virtual std::u16string FullPathName(const std::u16string& path) = 0;
  virtual std::u16string SystemErrorText(std::uint32_t code) = 0;

  // Opens `subkey` (relative to the root, no leading backslash; empty: the
  // root itself) with `access`. Null when it cannot be opened so.
  virtual std::unique_ptr<IRegistryKey> OpenRegistryKey(RegistryRoot root, const std::u16string& subkey,
                                                        std::uint32_t access) = 0;

  // True when the process was created; its handles are not kept.
  virtual bool CreateChildProcess(const ProcessStartRequest& request) = 0;
  // The result is deliberately not reported: the launcher ignores it.
  virtual void RequestShellExecute(const ShellExecuteRequest& request) = 0;

  // Case-insensitive equality under the user's locale.
  virtual bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b) = 0;
  // The locale-aware case conversions.
  virtual std::u16string UpperCase(std::u16string_view text) = 0;
  virtual std::u16string LowerCase(std::u16string_view text) = 0;
  // Bytes in the system's ANSI code page.
  virtual std::u16string DecodeAnsi(std::string_view bytes) = 0;
  virtual std::uint32_t AnsiCodePage() = 0;

  // The top-level error box: an OK button and a stop icon.
  virtual void ShowErrorBox(const std::u16string& title, const std::u16string& text) = 0;
};

}  // namespace kelvane
