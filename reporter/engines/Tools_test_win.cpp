// The Windows halves against the real system (run under wine64): the live
// process reader, exports and resources of loaded modules, version texts,
// the operating system, path names, thunks, message windows, ticks.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/Utf.h"
#include "reporter/engines/Exports.h"
#include "reporter/engines/MemoryChecks.h"
#include "reporter/engines/MessageWindow.h"
#include "reporter/engines/MethodThunk.h"
#include "reporter/engines/OsInfo.h"
#include "reporter/engines/PathNames.h"
#include "reporter/engines/ProcessMemory.h"
#include "reporter/engines/Resources.h"
#include "reporter/engines/Version.h"

namespace ruvex {
namespace {

Address AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

std::u16string SystemFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetSystemDirectoryW(dir, MAX_PATH);
  return reinterpret_cast<const char16_t*>((std::wstring(dir) + L"\\" + name).c_str());
}

TEST(ProcessMemory, ReadsCommittedMemoryAndRefusesTheRest) {
  const TProcessMemory memory;
  static const char text[] = "readable";
  char copy[sizeof text] = {};
  EXPECT_TRUE(memory.Read(AddressOf(text), copy, sizeof text));
  EXPECT_STREQ(copy, text);

  // A reserved page, a guard page and a no-access page are not read.
  char* reserved = static_cast<char*>(VirtualAlloc(nullptr, 3 * 4096, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_TRUE(reserved);
  VirtualAlloc(reserved, 4096, MEM_COMMIT, PAGE_READWRITE);
  VirtualAlloc(reserved + 4096, 4096, MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
  reserved[10] = 42;
  char byte = 0;
  EXPECT_TRUE(memory.Read(AddressOf(reserved + 10), &byte, 1));
  EXPECT_EQ(byte, 42);
  EXPECT_FALSE(memory.Read(AddressOf(reserved + 4000), copy, 200));  // runs into the guard page
  EXPECT_FALSE(memory.Read(AddressOf(reserved + 2 * 4096), &byte, 1));
  EXPECT_FALSE(memory.RegionAt(AddressOf(reserved + 2 * 4096)));
  EXPECT_TRUE(IsReadableRange(memory, AddressOf(reserved), 4096));
  EXPECT_FALSE(IsReadableRange(memory, AddressOf(reserved), 4097));
  EXPECT_FALSE(IsReadableRange(memory, AddressOf(reserved + 4096), 1));
  EXPECT_TRUE(IsReadableRange(AddressOf(reserved), 16));
  EXPECT_FALSE(IsReadableRange(AddressOf(reserved + 2 * 4096), 16));
  EXPECT_FALSE(memory.Read(0, &byte, 1));
  // The guard page is still armed: the check did not touch it.
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(reserved + 4096, &info, sizeof info);
  EXPECT_TRUE(info.Protect & PAGE_GUARD);
  VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST(ProcessMemory, ExportsOfLoadedModulesAgreeWithTheSystemLookup) {
  const TProcessMemory memory;
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  ASSERT_TRUE(kernel32);
  const Address base = AddressOf(kernel32);
  std::size_t compared = 0, forwarded = 0;
  const std::vector<TExport> exports = ListExports(memory, base);
  for (std::size_t i = 0; i < exports.size(); ++i) {
    const TExport& e = exports[i];
    // Every forwarder and a quarter of the rest: each lookup costs the
    // live reader a few dozen system calls.
    if (e.name.empty() || (e.forwarder.empty() && i % 4 != 0)) continue;
    const FARPROC expected = GetProcAddress(kernel32, e.name.c_str());
    const auto found = ImageProcAddress(memory, memory, base, e.name, false);
    if (!e.forwarder.empty()) {
      ++forwarded;
      if (!found) continue;  // forwarded into a module that is not loaded
    }
    ASSERT_TRUE(found) << e.name;
    EXPECT_EQ(*found, AddressOf(reinterpret_cast<void*>(expected))) << e.name;
    ++compared;
  }
  std::printf("kernel32 exports equal to GetProcAddress: %zu (%zu forwarders)\n", compared, forwarded);

  // Checked against the module's file on disk, the answers stay the same.
  const TProcAddressHooks hooks = SystemProcAddressHooks();
  const auto file = hooks.mapFile(base);
  ASSERT_TRUE(file);
  const auto inMemory = ReadExportDirectory(memory, base), onDisk = ReadExportDirectory(*file, base);
  ASSERT_TRUE(inMemory && onDisk);
  EXPECT_EQ(inMemory->addressOfNames, onDisk->addressOfNames);
  for (const char* name : {"GetTickCount", "CreateFileW", "LoadLibraryExW", "HeapAlloc"}) {
    EXPECT_EQ(ImageProcAddress(memory, memory, base, name, true, hooks),
              AddressOf(reinterpret_cast<void*>(GetProcAddress(kernel32, name))))
        << name;
  }
  EXPECT_FALSE(ImageProcAddress(memory, memory, base, "NoSuchExportAnywhere", true, hooks));
  EXPECT_GT(compared, 300u);

  // The module of an address, with its full file name.
  const auto module = ModuleOfAddress(memory, memory, AddressOf(reinterpret_cast<void*>(&GetTickCount)));
  ASSERT_TRUE(module);
  wchar_t name[MAX_PATH];
  const HMODULE owner = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module->base));
  GetModuleFileNameW(owner, name, MAX_PATH);
  EXPECT_EQ(module->fileName, reinterpret_cast<const char16_t*>(name));
  EXPECT_EQ(ExportName(memory, module->base, AddressOf(reinterpret_cast<void*>(GetProcAddress(owner, "GetTickCount"))), false),
            u"GetTickCount");
}

TEST(ProcessMemory, ResourcesOfLoadedModulesAgreeWithTheSystem) {
  const TProcessMemory memory;
  const HMODULE module = LoadLibraryExW(L"comctl32.dll", nullptr, 0);
  ASSERT_TRUE(module);
  for (const WORD type : {WORD(16), WORD(5), WORD(6)}) {  // version, dialog, string table
    struct TFirst {
      WORD id = 0;
      bool found = false;
    } first;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(type),
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
          auto* f = reinterpret_cast<TFirst*>(context);
          if (!IS_INTRESOURCE(name)) return TRUE;
          f->id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
          f->found = true;
          return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    if (!first.found) continue;
    const HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(first.id), MAKEINTRESOURCEW(type));
    ASSERT_TRUE(info);
    const void* data = LockResource(LoadResource(module, info));
    const std::string expected(static_cast<const char*>(data), SizeofResource(module, info));
    EXPECT_EQ(ResourceBytes(memory, AddressOf(module), TResourceId::Of(type), TResourceId::Of(first.id),
                            GetThreadUILanguage()),
              expected)
        << type << "/" << first.id;
  }
  FreeLibrary(module);
}

TEST(Version, SystemAndOwnReadingOfVersionResourcesAgree) {
  for (const wchar_t* name : {L"kernel32.dll", L"comctl32.dll", L"user32.dll", L"shell32.dll"}) {
    const std::u16string path = SystemFile(name);
    const std::u16string system = FileVersionText(path);
    EXPECT_FALSE(system.empty()) << kelvane::Utf16ToUtf8(path);
    EXPECT_EQ(FileVersionTextOfImageFile(kelvane::Utf16ToUtf8(path)), system) << kelvane::Utf16ToUtf8(path);
  }
  EXPECT_EQ(FileVersionText(u"C:\\no\\such\\file.dll"), u"");
}

TEST(OsInfo, DescribesTheRunningSystem) {
  const TOS& os = OsInfo();
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  using Fn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto rtl = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_TRUE(rtl);
  rtl(&v);
  EXPECT_TRUE(os.winNt);
  EXPECT_EQ(os.major, v.dwMajorVersion);
  EXPECT_EQ(os.minor, v.dwMinorVersion);
  EXPECT_EQ(os.build, v.dwBuildNumber);
  EXPECT_NE(os.Enum, osNone);
  EXPECT_TRUE(os.x64);  // the tests run as 64-bit programs
  EXPECT_EQ(os.description.rfind(OsEnumText(os.Enum), 0), 0u);
  EXPECT_NE(os.description.find(u" x64"), std::u16string::npos);
  std::printf("running on: %s\n", kelvane::Utf16ToUtf8(os.description).c_str());
  EXPECT_EQ(&OsInfo(), &os);  // computed once
}

TEST(PathNames, AgreeWithTheSystemsConversions) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring dir = std::wstring(temp) + L"Long Folder Name For Tests";
  const std::wstring file = dir + L"\\A Long File Name.text";
  CreateDirectoryW(dir.c_str(), nullptr);
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  wchar_t shortPath[MAX_PATH], longPath[MAX_PATH];
  ASSERT_TRUE(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH));
  ASSERT_TRUE(GetLongPathNameW(shortPath, longPath, MAX_PATH));
  const std::u16string file16 = reinterpret_cast<const char16_t*>(file.c_str());
  const std::u16string short16 = reinterpret_cast<const char16_t*>(shortPath);
  EXPECT_EQ(ShortPathName(file16), short16);
  EXPECT_EQ(LongPathName(short16), std::u16string(reinterpret_cast<const char16_t*>(longPath)));
  EXPECT_EQ(LongPathName(short16 + u"\\MISSIN~1.TXT"), std::u16string(reinterpret_cast<const char16_t*>(longPath)) + u"\\MISSIN~1.TXT");

  DeleteFileW(file.c_str());
  RemoveDirectoryW(dir.c_str());
}

struct TCounter {
  std::intptr_t base;
  static std::intptr_t Add(TCounter* self, std::intptr_t a, std::intptr_t b, std::intptr_t c) {
    return self->base + a + 10 * b + 100 * c;
  }
};

TEST(MethodThunk, CallsTheMethodWithTheObjectAndIsNeverWritable) {
  TCounter counter{1000};
  void* thunk = MethodThunk(&counter, reinterpret_cast<void*>(&TCounter::Add));
  ASSERT_TRUE(thunk);
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(thunk, &info, sizeof info);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  using Callback = std::intptr_t (*)(std::intptr_t, std::intptr_t, std::intptr_t);
  EXPECT_EQ(reinterpret_cast<Callback>(thunk)(1, 2, 3), 1321);
  FreeMethodThunk(thunk);
}

std::atomic<int> handled{0};
void CountingHandler(TMessage& m) {
  handled += static_cast<int>(m.wParam);
  m.result = 77;
}

TEST(MessageWindow, HandlersReceiveTheirMessages) {
  const auto window = ThreadMessageWindow(GetCurrentThreadId());
  ASSERT_NE(window, 0u);
  EXPECT_EQ(ThreadMessageWindow(GetCurrentThreadId()), window);
  const std::uint32_t message = AddMsgHandler(window, 0, CountingHandler);
  EXPECT_GE(message, kFirstFreeMessage);
  EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(window), message, 5, 0), 77);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(window), message + 1, 5, 0), 0);  // nobody handles it
  EXPECT_EQ(handled.load(), 5);

  // Another thread finds the window but never creates one for this thread.
  std::uintptr_t seen = 1, created = 1;
  const DWORD self = GetCurrentThreadId();
  std::thread([&] {
    seen = ThreadMessageWindow(self);
    created = ThreadMessageWindow(GetCurrentThreadId() + 4);
  }).join();
  EXPECT_EQ(seen, window);
  EXPECT_EQ(created, 0u);

  EXPECT_TRUE(DelMsgHandler(window, message, CountingHandler));
  SendMessageW(reinterpret_cast<HWND>(window), message, 5, 0);
  EXPECT_EQ(handled.load(), 5);
  EXPECT_EQ(AddMsgHandler(0, 0, CountingHandler), 0u);
}

TEST(Ticks, TickCountIsTheSystemsCounter) {
  const DWORD before = GetTickCount();
  const std::uint32_t ours = TickCount();
  EXPECT_LE(ours - before, 1000u);
  EXPECT_LE(TicksSince(before), 1000u);
}

}  // namespace
}  // namespace ruvex
