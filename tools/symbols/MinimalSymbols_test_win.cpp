// The "--minimal" set-up of README.md end to end under wine: a program
// with the minimal symbol data embedded and its complete ".ruvex" file
// beside it (both from the build, see probe/CMakeLists.txt) names its own
// functions once its settings block names that file's fingerprint, and
// only then.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "common/text/Utf.h"
#include "common/win/WinHandle_win.h"
#include "reporter/engines/symbols/readers/CompactSymbols.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string u = kelvane::Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}
std::string Narrow(const std::wstring& w) { return kelvane::Utf16ToUtf8(std::u16string(w.begin(), w.end())); }

// A path of the build tree as wine sees it.
std::wstring BuildPath(const std::string& relative) {
  const char* root = std::getenv("KELVANE_BINARY_DIR");
  std::string path = std::string("Z:") + (root ? root : "") + "/" + relative;
  for (char& c : path)
    if (c == '/') c = '\\';
  return Wide(path);
}

std::wstring ScratchFolder() {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = std::wstring(temp) + L"ruvex-minimal-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

DWORD RunProgram(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info))
    return 0xFFFFFFFE;
  const kelvane::TWinHandle process(info.hProcess), thread(info.hThread);
  if (WaitForSingleObject(info.hProcess, 60000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  return code;
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(Narrow(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, std::string> Values(const std::wstring& file) {
  std::istringstream in(ReadFile(file));
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);)
    if (const std::size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

TEST(MinimalSymbols, SettingsNameTheSeparateFileAndItsNamesAppear) {
  const std::wstring folder = ScratchFolder();
  const std::wstring probe = folder + L"ruvex_minimal_symbols_probe.exe";
  const std::wstring symbols = folder + L"ruvex_minimal_symbols_probe.ruvex";
  ASSERT_TRUE(CopyFileW(BuildPath("tests/ruvex_minimal_symbols_probe.exe").c_str(), probe.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(BuildPath("tests/ruvex_minimal_symbols_probe.ruvex").c_str(), symbols.c_str(), FALSE));
  const std::string fingerprint = ruvex::CompactFingerprint(ReadFile(symbols));
  ASSERT_EQ(31u, fingerprint.size());

  // Without settings the embedded minimal tables answer, without names.
  ASSERT_EQ(0u, RunProgram(probe, L"\"" + folder + L"before.txt\""));
  std::map<std::string, std::string> before = Values(folder + L"before.txt");
  EXPECT_EQ("1", before["valid"]);
  EXPECT_NE(std::string::npos, before["name"].find("public%")) << before["name"];
  EXPECT_EQ("", before["fingerprint"]);

  std::ofstream(Narrow(folder + L"settings.txt"), std::ios::binary) << "MinDebugInfo = '" << fingerprint << "'\n";
  ASSERT_EQ(0u, RunProgram(BuildPath("bin/ruvex-settings.exe"), L"embed \"" + folder + L"settings.txt\" \"" + probe + L"\""));
  ASSERT_EQ(0u, RunProgram(probe, L"\"" + folder + L"after.txt\""));
  std::map<std::string, std::string> after = Values(folder + L"after.txt");
  EXPECT_EQ("1", after["valid"]);
  EXPECT_EQ("MinimalSymbolsProbe_win.cpp.MinimalProbeFunction(int)", after["name"]);
  EXPECT_EQ(fingerprint, after["fingerprint"]);  // what the trace's "module|fingerprint" list shows
  EXPECT_EQ("16", after["result"]);

  for (const std::wstring& file : {probe, symbols, folder + L"settings.txt", folder + L"before.txt", folder + L"after.txt"})
    DeleteFileW(file.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
