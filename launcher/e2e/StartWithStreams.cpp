// Starts a program with chosen standard streams, as a desktop shell or a
// tool chain would, waits for it and returns its exit code. Arguments: the
// standard input file or "-" for none, the standard output file or "-" for
// none, then the command line as one argument. "None" passes a null handle,
// the state of a program started without a console or redirection.
#include <windows.h>

#include <string>

namespace {

HANDLE OpenStream(const wchar_t* streamName, bool output) {
  if (lstrcmpW(streamName, L"-") == 0) return nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  return CreateFileW(streamName, output ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     output ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 100;
  const HANDLE input = OpenStream(argv[1], false);
  const HANDLE output = OpenStream(argv[2], true);
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) return 101;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = nullptr;
  std::wstring commandLine = argv[3];
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
    return 102;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD exitCode = 103;
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (input) CloseHandle(input);
  if (output) CloseHandle(output);
  return static_cast<int>(exitCode);
}
