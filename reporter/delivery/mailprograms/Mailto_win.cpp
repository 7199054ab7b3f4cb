// The mailto handler from the registry, started as a process.
#include <windows.h>

#include <vector>

#include "common/win/WinText_win.h"
#include "reporter/delivery/mailprograms/Mailto.h"

namespace ruvex {
namespace {

std::optional<std::u16string> RegistryDefault(HKEY root, const wchar_t* key) {
  DWORD bytes = 0;
  if (RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value.data(),
                   &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return kelvane::FromWide(value.data());
}

// The expansion in a buffer of the size it needs, however long.
std::u16string ExpandEnvironment(const std::u16string& text) {
  const DWORD needed = ExpandEnvironmentStringsW(kelvane::Wide(text), nullptr, 0);
  if (needed == 0) return text;
  std::vector<wchar_t> expanded(needed + 1, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(kelvane::Wide(text), expanded.data(), needed + 1);
  return written == 0 || written > needed + 1 ? text : kelvane::FromWide(expanded.data());
}

class TSystemMailtoHost final : public IMailtoHost {
 public:
  std::optional<std::u16string> OpenCommand() override {
    const auto command = RegistryDefault(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command");
    if (!command) return std::nullopt;
    return ExpandEnvironment(*command);
  }

  bool StartProcess(const std::u16string& commandLine) override {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }
};

}  // namespace

IMailtoHost& SystemMailtoHost() {
  static TSystemMailtoHost host;
  return host;
}

}  // namespace ruvex
