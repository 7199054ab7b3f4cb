// The outside tool of the process trace: starts the sample in "trace" mode,
// finds the exported RuvexTraceProcess by name in its image, creates the
// trace block, starts the entry point in the sample with a maximum length
// and writes what the block then holds (up to its zero) into a file; with
// a maximum below 1, what the clipboard then holds.
// Usage: trace_starter SAMPLE.exe MAXLENGTH OUTPUT [ARGUMENTS...]
// With arguments, the program is started with them instead of "trace" and
// is taken as ready once it has written its first output (the shipped
// program's help waits for a line of input, which never comes).
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Fail(const char* what) {
  std::printf("failed: %s (%lu)\n", what, GetLastError());
  return 1;
}

// The entry point's offset in the image, from its export table.
std::uintptr_t ExportOffset(const wchar_t* image) {
  HMODULE module = LoadLibraryExW(image, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!module) return 0;
  FARPROC entry = GetProcAddress(module, "RuvexTraceProcess");
  const std::uintptr_t offset =
      entry ? reinterpret_cast<std::uintptr_t>(entry) - reinterpret_cast<std::uintptr_t>(module) : 0;
  FreeLibrary(module);
  return offset;
}

std::uintptr_t ImageBaseIn(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  MODULEENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const std::uintptr_t base = Module32FirstW(snapshot, &entry) ? reinterpret_cast<std::uintptr_t>(entry.modBaseAddr) : 0;
  CloseHandle(snapshot);
  return base;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const long long maxLength = _wtoi64(argv[2]);
  const std::uintptr_t offset = ExportOffset(argv[1]);
  if (!offset) return Fail("no export RuvexTraceProcess");

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return Fail("pipe");
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE inputRead = nullptr, inputWrite = nullptr;  // kept open: the program waits on it
  if (!CreatePipe(&inputRead, &inputWrite, &inherit, 0)) return Fail("input pipe");
  SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = inputRead;
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  if (argc == 4) command += L" trace";
  for (int i = 4; i < argc; ++i) command += L" " + std::wstring(argv[i]);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return Fail("start");
  CloseHandle(writeEnd);
  char line[64] = {};
  DWORD got = 0;
  if (!ReadFile(readEnd, line, sizeof line - 1, &got, nullptr) || (argc == 4 && std::strncmp(line, "ready", 5) != 0))
    return Fail("sample not ready");
  if (argc > 4) Sleep(200);  // the rest of its output and into the wait

  constexpr DWORD kBlockSize = 1 << 20;
  HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize,
                                    L"Global\\RuvexTraceProcessMap");
  if (!block) block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize,
                                         L"RuvexTraceProcessMap");
  if (!block) return Fail("trace block");
  char* view = static_cast<char*>(MapViewOfFile(block, FILE_MAP_ALL_ACCESS, 0, 0, kBlockSize));
  if (!view) return Fail("view");
  std::memset(view, 'X', kBlockSize);  // what the trace does not write stays visible

  const std::uintptr_t entry = ImageBaseIn(process.dwProcessId) + offset;
  HANDLE thread = CreateRemoteThread(process.hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(entry),
                                     reinterpret_cast<void*>(static_cast<INT_PTR>(maxLength)), 0, nullptr);
  if (!thread) return Fail("remote thread");
  const bool ended = WaitForSingleObject(thread, 60000) == WAIT_OBJECT_0;
  DWORD exitCode = 1;
  GetExitCodeThread(thread, &exitCode);
  TerminateProcess(process.hProcess, 0);

  // With a maximum below 1 the report is on the clipboard instead.
  if (maxLength < 1) {
    std::string clip;
    if (OpenClipboard(nullptr)) {
      if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
          const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
          clip.resize(n > 0 ? n - 1 : 0);
          if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, clip.data(), n, nullptr, nullptr);
          GlobalUnlock(data);
        }
      CloseClipboard();
    }
    FILE* out = _wfopen(argv[3], L"wb");
    if (!out) return Fail("output");
    std::fwrite(clip.data(), 1, clip.size(), out);
    std::fclose(out);
    std::printf("ended %d exit %lu clipboard %zu block %c\n", ended, exitCode, clip.size(), view[0]);
    return ended && exitCode == 0 ? 0 : 1;
  }

  // The block up to and with its zero, and one byte behind it.
  std::size_t length = 0;
  while (length < kBlockSize && view[length] != 0) ++length;
  FILE* out = _wfopen(argv[3], L"wb");
  if (!out) return Fail("output");
  std::fwrite(view, 1, length < kBlockSize ? length + 2 : length, out);
  std::fclose(out);
  std::printf("ended %d exit %lu length %zu\n", ended, exitCode, length);
  return ended && exitCode == 0 ? 0 : 1;
}
