// Start-up, settings and thread registry on the real Windows API (wine64):
// the probe program and Kelvane.exe are started as separate processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "common/text/Utf.h"
#include "reporter/core/startup/RestartHandover_win.h"
#include "reporter/core/settings/SettingsAnchor_win.h"
#include "reporter/core/startup/TempFolder_win.h"
#include "reporter/core/startup/ThreadRegistry_win.h"

using namespace ruvex;

namespace {

std::wstring Wide(const std::string& utf8) {
  std::u16string u = kelvane::Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(const std::wstring& w) { return kelvane::Utf16ToUtf8(std::u16string(w.begin(), w.end())); }

// A path of the build tree (a Linux path in the environment) as wine sees it.
std::wstring BuildPath(const std::string& relative) {
  const char* root = std::getenv("KELVANE_BINARY_DIR");
  std::string path = std::string("Z:") + (root ? root : "") + "/" + relative;
  for (char& c : path)
    if (c == '/') c = '\\';
  return Wide(path);
}

std::wstring TempDir() {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  return temp;
}

// A fresh folder of this test run.
std::wstring ScratchFolder(const wchar_t* name) {
  std::wstring folder = TempDir() + L"ruvex-core-" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

struct TStarted {
  PROCESS_INFORMATION info{};
  bool ok = false;
  ~TStarted() {
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
  }
  DWORD Wait(DWORD ms) {
    if (WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
  }
};

void Start(TStarted& p, const std::wstring& exe, const std::wstring& arguments, DWORD flags = 0) {
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  p.ok = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si,
                        &p.info) != 0;
}

DWORD RunProgram(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs = 60000) {
  TStarted p;
  Start(p, exe, arguments);
  return p.ok ? p.Wait(timeoutMs) : 0xFFFFFFFE;
}

std::map<std::string, std::string> ReadReport(const std::wstring& file) {
  std::ifstream in(Narrow(file), std::ios::binary);
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

void WriteText(const std::wstring& file, const std::string& text) {
  std::ofstream(Narrow(file), std::ios::binary) << text;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::uint64_t ExitTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(process, &created, &exited, &kernel, &user);
  return (std::uint64_t(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
}

}  // namespace

TEST(StartupOnWindows, SettingsEmbeddedByTheToolAreReadThroughTheResources) {
  std::wstring folder = ScratchFolder(L"embed");
  std::wstring probe = folder + L"probe.exe";
  ASSERT_TRUE(CopyFileW(BuildPath("tests/ruvex_startup_probe.exe").c_str(), probe.c_str(), FALSE));
  WriteText(folder + L"settings.txt",
            "# switched on for the test\nNoSettings = False\nAutoDelay = 17\nBugRepFileSize = 250000\n"
            "TitleBar = '%appname% '#1046#8364\nExceptMsg = 'It''s broken'\n"
            "SmtpAccount = 'me'\nSmtpServer = 'mail.example.org'\nSmtpPassword = 'pa55'\n");
  ASSERT_EQ(RunProgram(BuildPath("bin/ruvex-settings.exe"), L"embed \"" + folder + L"settings.txt\" \"" + probe + L"\""), 0u);

  ASSERT_EQ(RunProgram(probe, L"report \"" + folder + L"out.txt\""), 0u);
  auto report = ReadReport(folder + L"out.txt");
  EXPECT_EQ(report["valid"], "1");
  EXPECT_EQ(report["enabled"], "0");
  EXPECT_EQ(report["autodelay"], "17");
  EXPECT_EQ(report["bugrepfilesize"], "250000");
  EXPECT_EQ(report["titlebar"], "probe.exe \xd0\x96\xe2\x82\xac");
  EXPECT_EQ(report["exceptmsg"], "It's broken");
  EXPECT_EQ(report["smtppassword"], "pa55") << "stored enciphered, read in plain text";
  EXPECT_EQ(report["registry"], "1");
  EXPECT_EQ(report["mainthread"], "1");
  EXPECT_EQ(report["describe"].rfind("main thread ($", 0), 0u);

  // The same program without a block stays passive on the defaults.
  std::wstring plain = folder + L"plain.exe";
  ASSERT_TRUE(CopyFileW(BuildPath("tests/ruvex_startup_probe.exe").c_str(), plain.c_str(), FALSE));
  ASSERT_EQ(RunProgram(plain, L"report \"" + folder + L"plain.txt\""), 0u);
  auto passive = ReadReport(folder + L"plain.txt");
  EXPECT_EQ(passive["valid"], "0");
  EXPECT_EQ(passive["enabled"], "0");
  EXPECT_EQ(passive["registry"], "0");
  EXPECT_EQ(passive["bugrepfilesize"], "100000");
  EXPECT_EQ(passive["titlebar"], "plain.exe");
  EXPECT_EQ(passive["mainthread"], "1");
}

TEST(StartupOnWindows, KelvaneRemovesALeftoverTemporaryFolder) {
  // A copy under its own name: its folder is apart from other tests' runs.
  std::wstring scratch = ScratchFolder(L"kelvane");
  std::wstring kelvane = scratch + L"KelvaneTempCheck.exe";
  ASSERT_TRUE(CopyFileW(BuildPath("bin/Kelvane.exe").c_str(), kelvane.c_str(), FALSE));
  std::wstring folder = TempDir() + L"KelvaneTempCheck.RuvexExcept\\";
  std::wstring outside = scratch + L"keep.txt";
  WriteText(outside, "outside the folder");

  // While another instance holds the folder, its files stay.
  HANDLE other = CreateMutexW(nullptr, FALSE, TempFolderGuardName(std::u16string(folder.begin(), folder.end())).c_str());
  ASSERT_NE(other, nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"sub").c_str(), nullptr);
  WriteText(folder + L"bugreport.qbr", "old report");
  WriteText(folder + L"screenshot.png", "old picture");
  WriteText(folder + L"sub\\part.txt", "old part");
  SetFileAttributesW((folder + L"bugreport.qbr").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Exists(folder + L"screenshot.png"));
  const std::wstring arguments = L"/configfile:Z:\\nonexistent\\none.ini";
  RunProgram(kelvane, arguments);
  EXPECT_TRUE(Exists(folder + L"screenshot.png")) << "another running instance owns the folder";
  CloseHandle(other);

  RunProgram(kelvane, arguments);
  EXPECT_FALSE(Exists(folder + L"bugreport.qbr"));
  EXPECT_FALSE(Exists(folder + L"screenshot.png"));
  EXPECT_FALSE(Exists(folder + L"sub\\part.txt"));
  EXPECT_FALSE(Exists(folder)) << "the folder itself is removed";
  EXPECT_TRUE(Exists(outside));
}

TEST(StartupOnWindows, RestartHandOverWaitsForThePredecessor) {
  std::wstring folder = ScratchFolder(L"restart");
  std::wstring probe = BuildPath("tests/ruvex_startup_probe.exe");
  TStarted predecessor;
  Start(predecessor, probe, L"sleep 2500");
  ASSERT_TRUE(predecessor.ok);

  TStarted successor;
  Start(successor, probe, L"report \"" + folder + L"out.txt\"", CREATE_SUSPENDED);
  ASSERT_TRUE(successor.ok);
  std::array<std::uint64_t, 10> times{};
  times[0] = 13350000000ull;
  times[1] = 13349999999ull;
  TWinHandle block = OfferRestartHandover(successor.info.hProcess, successor.info.dwProcessId, times,
                                          predecessor.info.dwProcessId);
  ASSERT_TRUE(block);
  ResumeThread(successor.info.hThread);
  ASSERT_EQ(successor.Wait(60000), 0u);
  ASSERT_EQ(predecessor.Wait(0), 0u) << "the predecessor ended first";

  auto report = ReadReport(folder + L"out.txt");
  EXPECT_EQ(report["restarted"], "1");
  EXPECT_EQ(report["times"], "13350000000,13349999999,0,0,0,0,0,0,0,0,");
  EXPECT_GE(std::stoull(report["finished"]), ExitTime(predecessor.info.hProcess));
}

TEST(StartupOnWindows, StaleRestartBlocksDoNotHang) {
  std::wstring folder = ScratchFolder(L"stale");
  std::wstring probe = BuildPath("tests/ruvex_startup_probe.exe");
  // A predecessor that has long ended, and a block naming the process itself.
  TStarted gone;
  Start(gone, probe, L"sleep 0");
  ASSERT_EQ(gone.Wait(30000), 0u);
  // Every handle to it closed: the process object is gone and cannot be opened.
  const DWORD goneId = gone.info.dwProcessId;
  CloseHandle(gone.info.hProcess);
  CloseHandle(gone.info.hThread);
  gone.info = {};
  // Wine keeps an ended process openable for a while; an id no process
  // has cannot be opened anywhere, like an ended process on Windows.
  const DWORD neverUsed = 0x7FFFFFF0;
  for (int naming = 0; naming < 3; ++naming) {
    TStarted successor;
    std::wstring out = folder + L"out" + std::to_wstring(naming) + L".txt";
    Start(successor, probe, L"report \"" + out + L"\"", CREATE_SUSPENDED);
    ASSERT_TRUE(successor.ok);
    const DWORD named = naming == 0 ? goneId : naming == 1 ? neverUsed : successor.info.dwProcessId;
    std::array<std::uint64_t, 10> times{};
    times[0] = 13350000042ull;
    TWinHandle block = OfferRestartHandover(successor.info.hProcess, successor.info.dwProcessId, times, named);
    ASSERT_TRUE(block);
    DWORD started = GetTickCount();
    ResumeThread(successor.info.hThread);
    ASSERT_EQ(successor.Wait(25000), 0u) << "must not wait the full bound";
    EXPECT_LT(GetTickCount() - started, 20000u);
    // An ended predecessor is a finished hand-over; a block naming the
    // process itself is ignored.
    auto report = ReadReport(out);
    if (naming < 2) {
      EXPECT_EQ(report["restarted"], "1") << "an ended predecessor leaves its history all the same";
      EXPECT_EQ(report["times"], "13350000042,0,0,0,0,0,0,0,0,0,");
    } else {
      EXPECT_EQ(report["restarted"], "0");
    }
  }
  // A block too small to be one is ignored as well.
  TStarted successor;
  Start(successor, probe, L"report \"" + folder + L"small.txt\"", CREATE_SUSPENDED);
  std::wstring name = L"RuvexExceptRestart$";
  wchar_t id[16];
  swprintf(id, 16, L"%lx", successor.info.dwProcessId);
  HANDLE small = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, (name + id).c_str());
  ASSERT_NE(small, nullptr);
  ResumeThread(successor.info.hThread);
  ASSERT_EQ(successor.Wait(25000), 0u);
  CloseHandle(small);
}

TEST(StartupOnWindows, SharedSettingsListRejectsAPlantedControlBlock) {
  std::wstring name = L"RuvexExceptSettingsBuf2$";
  wchar_t id[16];
  swprintf(id, 16, L"%lx", GetCurrentProcessId());
  HANDLE planted = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(TSettingsBufferView), (name + id).c_str());
  ASSERT_NE(planted, nullptr);
  static char notAControl[256];
  auto* view = static_cast<TSettingsBufferView*>(MapViewOfFile(planted, FILE_MAP_WRITE, 0, 0, 0));
  *view = {kSettingsControlMagic, GetCurrentProcessId(), reinterpret_cast<TSettingsControl*>(notAControl)};
  TNamedSettingsAnchor anchor;
  EXPECT_EQ(anchor.Acquire(), nullptr) << "static data is not a control block of ours";
  view->control = reinterpret_cast<TSettingsControl*>(0x10);
  EXPECT_EQ(anchor.Acquire(), nullptr);
  UnmapViewOfFile(view);
  CloseHandle(planted);

  TSettingsControl* first = anchor.Acquire();
  ASSERT_NE(first, nullptr);
  TSettingsControl* second = anchor.Acquire();
  EXPECT_EQ(first, second) << "the same list for every user in the process";
  EXPECT_EQ(first->refCount, 2);
  anchor.Release(second);
  anchor.Release(first);
}

TEST(StartupOnWindows, ThreadRegistryNamesAndPurges) {
  TThreadRegistry registry(GetCurrentThreadId());
  ASSERT_TRUE(registry.Valid());
  EXPECT_NE(registry.OldestThreadId(), 0u);
  registry.SuspendPurging(false);
  DWORD worker = 0;
  std::thread t([&] {
    worker = GetCurrentThreadId();
    registry.NameThread(worker, u"downloader");
  });
  t.join();
  EXPECT_EQ(registry.Describe(worker, false).text.rfind(u"downloader ($", 0), 0u);
  // The ended thread goes with the next change of the registry.
  registry.NameThread(GetCurrentThreadId(), u"-");
  EXPECT_EQ(registry.Describe(worker, false).text.rfind(u"thread $", 0), 0u);
  EXPECT_EQ(registry.Describe(GetCurrentThreadId(), false).text, u"");

  // The debugger's naming exception raised by the program is recorded.
  std::string utf8 = "named by exception";
  EXCEPTION_RECORD record{};
  record.ExceptionCode = 0x406D1388;
  record.NumberParameters = 4;
  record.ExceptionInformation[0] = 0x1000;
  record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(utf8.c_str());
  record.ExceptionInformation[2] = static_cast<ULONG_PTR>(-1);
  EXPECT_TRUE(registry.RecordThreadNamingException(record));
  EXPECT_EQ(registry.Describe(GetCurrentThreadId(), false).text.rfind(u"named by exception ($", 0), 0u);
  record.ExceptionCode = 0xC0000005;
  EXPECT_FALSE(registry.RecordThreadNamingException(record));
}
