// The Win32 implementation against the real (wine) registry and file system.
#include "launcher/platform/Win32Platform_win.h"
#include "common/win/WinText_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/text/Utf.h"
#include "launcher/platform/CommandLine.h"
#include "launcher/platform/Files.h"
#include "launcher/platform/LauncherError.h"
#include "launcher/platform/Registry.h"

namespace kelvane {
namespace {

using kelvane::Wide;

std::u16string Id() { return U16(std::to_string(GetCurrentProcessId())); }

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = MakeWin32Platform();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::u16string(reinterpret_cast<char16_t*>(temp)) + u"kelvane-platform-" + Id();
    CreateDirectoryW(Wide(folder), nullptr);
  }
  void TearDown() override {
    for (const std::u16string& f : created) DeleteFileW(Wide(f));
    RemoveDirectoryW(Wide(folder));
  }
  std::u16string WriteFile(const std::u16string& name, const std::string& content) {
    const std::u16string path = folder + u"\\" + name;
    HANDLE h = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
    created.push_back(path);
    return path;
  }

  std::unique_ptr<ILauncherPlatform> platform;
  std::u16string folder;
  std::vector<std::u16string> created;
};

TEST_F(Win32PlatformTest, RegistryStringsTypesAndNamesFromTheRoot) {
  const std::u16string keyName = u"Software\\KelvaneTest\\" + Id();
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(keyName), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::u16string text = u"\"C:\\Program Files\\b\\browser.exe\" \"%1\"";
  RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), (text.size() + 1) * 2);
  const std::u16string expand = u"%SystemRoot%\\x.exe";
  RegSetValueExW(key, L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand.c_str()),
                 (expand.size() + 1) * 2);
  const DWORD count = 7;
  RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof(count));
  HKEY child = nullptr;
  RegCreateKeyExW(key, L"FirstChild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
  RegCloseKey(child);
  RegCreateKeyExW(key, L"SecondChild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
  RegCloseKey(child);
  RegCloseKey(key);

  constexpr auto HKCU = RegistryRoot::CurrentUser;
  EXPECT_EQ(ReadKeyString(*platform, HKCU, keyName, u""), text);
  EXPECT_EQ(ReadKeyString(*platform, HKCU, u"\\" + keyName, u""), text);  // counts from the root
  EXPECT_EQ(ReadKeyString(*platform, HKCU, keyName, u"Expand"), expand);  // unexpanded
  EXPECT_EQ(ReadKeyString(*platform, HKCU, keyName, u"NoSuchValue"), u"");
  EXPECT_EQ(ReadKeyString(*platform, HKCU, keyName + u"\\Missing", u""), u"");
  try {
    ReadKeyString(*platform, HKCU, keyName, u"Count");
    ADD_FAILURE() << "a DWORD read as a string must raise";
  } catch (const ERegistryError& e) {
    EXPECT_EQ(e.Message(), u"Invalid data type for 'Count'");
  }
  EXPECT_TRUE(KeyExists(*platform, HKCU, keyName));
  EXPECT_FALSE(KeyExists(*platform, HKCU, keyName + u"\\Missing"));

  const auto opened = OpenKeyReadOnly(*platform, HKCU, keyName);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->SubkeyNames(), (std::vector<std::u16string>{u"FirstChild", u"SecondChild"}));
  const auto root = OpenKeyReadOnly(*platform, HKCU, u"\\");
  ASSERT_TRUE(root);
  const auto top = root->SubkeyNames();
  EXPECT_NE(std::find(top.begin(), top.end(), u"Software"), top.end());
  EXPECT_FALSE(OpenKeyReadOnly(*platform, RegistryRoot::ClassesRoot, u"\\")->SubkeyNames().empty());

  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(keyName));
}

TEST_F(Win32PlatformTest, FileExistsFollowsTheRules) {
  const std::u16string file = WriteFile(u"page.html", "<html></html>");
  EXPECT_TRUE(platform->FileExists(file));
  EXPECT_FALSE(platform->FileExists(folder));                       // a directory
  EXPECT_FALSE(platform->FileExists(folder + u"\\missing.html"));
  EXPECT_FALSE(platform->FileExists(folder + u"\\no\\such\\dir.html"));
  EXPECT_FALSE(platform->FileExists(folder + u"\\bad<name.html"));

  // A file held open without sharing still exists, and cannot be read.
  const std::u16string locked = WriteFile(u"locked.ini", "[Paths]\r\nBrowser=3\r\n");
  HANDLE holder = CreateFileW(Wide(locked), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(platform->FileExists(locked));
  try {
    ReadWholeFile(*platform, locked);
    ADD_FAILURE() << "a locked file must not be read";
  } catch (const EFileOpenError& e) {
    const std::u16string expectedStart = u"Cannot open file \"" + locked + u"\". ";
    EXPECT_EQ(e.Message().substr(0, expectedStart.size()), expectedStart);
    EXPECT_GT(e.Message().size(), expectedStart.size()) << "the system's message text follows";
  }
  CloseHandle(holder);

  // A writer that shares reading is refused too: other writers are denied.
  HANDLE writer = CreateFileW(Wide(locked), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  std::string bytes;
  EXPECT_EQ(platform->ReadFileDenyingWriters(locked, bytes), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  CloseHandle(writer);
  EXPECT_EQ(platform->ReadFileDenyingWriters(locked, bytes), 0u);
  EXPECT_EQ(bytes, "[Paths]\r\nBrowser=3\r\n");
}

// Wine keeps no Windows links of its own: it shows the host's symbolic links.
// So the links are made on the host side, through wine's path mapping.
std::string HostPath(const std::u16string& path) {
  using ToUnix = char* (*)(const wchar_t*);
  const auto toUnix =
      reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!toUnix) return {};
  char* unixPath = toUnix(Wide(path));
  std::string result = unixPath ? unixPath : "";
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

bool Listed(const std::u16string& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Wide(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Wine runs a host program detached from the handle it returns, so the
// link's arrival is polled for.
bool MakeHostLink(const std::u16string& link, const std::u16string& target) {
  const std::string command = "ln -s '" + HostPath(target) + "' '" + HostPath(link) + "'";
  std::u16string commandLine = u"Z:\\bin\\sh -c \"" + U16(command) + u"\"";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, const_cast<wchar_t*>(Wide(commandLine)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  for (int i = 0; i < 250 && !Listed(link); ++i) Sleep(20);
  return Listed(link);
}

TEST_F(Win32PlatformTest, LinksAreFollowed) {
  const std::u16string target = WriteFile(u"target.html", "x");
  const std::u16string link = folder + u"\\link.html";
  const std::u16string dangling = folder + u"\\dangling.html";
  ASSERT_TRUE(MakeHostLink(link, target));
  const std::u16string doomed = WriteFile(u"doomed.html", "y");
  ASSERT_TRUE(MakeHostLink(dangling, doomed));
  DeleteFileW(Wide(doomed));  // leaves the link pointing nowhere
  created.push_back(link);
  created.push_back(dangling);
  EXPECT_TRUE(platform->FileExists(link));
  EXPECT_FALSE(platform->FileExists(dangling));
}

TEST_F(Win32PlatformTest, ParametersTextAndStreams) {
  EXPECT_EQ(platform->FullPathName(u"x.ini").back(), u'i');
  const std::u16string module = platform->ModuleFileName();
  EXPECT_EQ(platform->LowerCase(module.substr(module.size() - 4)), u".exe");
  EXPECT_FALSE(SplitCommandLine(platform->CommandLine()).empty());

  EXPECT_TRUE(platform->SameTextIgnoringCase(u"Ünïcode Help", u"üNÏCODE hELP"));
  EXPECT_FALSE(platform->SameTextIgnoringCase(u"help", u"help:x"));
  EXPECT_EQ(platform->UpperCase(u"ére\u0439"), u"ÉRE\u0419");
  EXPECT_EQ(platform->LowerCase(u"ÉRE"), u"ére");
  if (platform->AnsiCodePage() == 1252) EXPECT_EQ(platform->DecodeAnsi("\x80\xE9"), u"\u20AC\u00E9");
  EXPECT_FALSE(platform->SystemErrorText(ERROR_ACCESS_DENIED).empty());

  // The test's output is a file here, so writing succeeds.
  EXPECT_EQ(platform->WriteStandardOutput(u"platform test output\r\n"), 0u);
}

TEST_F(Win32PlatformTest, StartsProcessesWithoutWaiting) {
  ProcessStartRequest request;
  request.commandLine = u"cmd.exe /c exit 0";
  request.startupFlags = STARTF_USESHOWWINDOW;
  request.showWindow = SW_HIDE;
  request.creationFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;
  EXPECT_TRUE(platform->CreateChildProcess(request));
  request.commandLine = u" \"" + folder + u"\\nothing.exe\"";
  EXPECT_FALSE(platform->CreateChildProcess(request));
  request.commandLine.clear();
  EXPECT_FALSE(platform->CreateChildProcess(request));
}

}  // namespace
}  // namespace kelvane
