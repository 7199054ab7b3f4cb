// A stand-in for the mail program's mapi32.dll: records the message it is
// handed (and the content of each file while the call lasts) into the file
// named by KELVANE_MAPI_RECORD, and answers KELVANE_MAPI_ANSWER (default 0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct TReceiver {
  ULONG d1, class_;
  wchar_t* name;
  wchar_t* address;
  ULONG entrySize;
  void* entry;
};
struct TAttach {
  ULONG d1, flags, position;
  wchar_t* pathName;
  wchar_t* fileName;
  void* fileType;
};
struct TMessage {
  ULONG reserved;
  wchar_t *subject, *noteText, *messageType, *dateReceived, *conversationId;
  ULONG flags;
  TReceiver* originator;
  ULONG recipCount;
  TReceiver* recips;
  ULONG fileCount;
  TAttach* files;
};

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex.empty() ? "-" : hex;
}

std::string Utf8(const wchar_t* text) {
  if (!text) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::string Content(const wchar_t* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMailW(ULONG_PTR session, ULONG_PTR uiParam, TMessage* message,
                                                            ULONG flags, ULONG reserved) {
  wchar_t recordPath[MAX_PATH] = {};
  GetEnvironmentVariableW(L"KELVANE_MAPI_RECORD", recordPath, MAX_PATH);
  std::ofstream record(recordPath, std::ios::binary);
  record << "entry MAPISendMailW\nsession " << session << "\nflags " << flags << "\nreserved " << reserved
         << "\nsubject " << Hex(Utf8(message->subject)) << "\nbody " << Hex(Utf8(message->noteText)) << "\n";
  for (ULONG i = 0; i < message->recipCount; ++i)
    record << "recip " << message->recips[i].class_ << " " << Hex(Utf8(message->recips[i].name)) << " "
           << Hex(Utf8(message->recips[i].address)) << "\n";
  for (ULONG i = 0; i < message->fileCount; ++i)
    record << "file " << static_cast<long>(message->files[i].position) << " "
           << Hex(Utf8(message->files[i].pathName)) << " " << Hex(Utf8(message->files[i].fileName)) << " "
           << Hex(Content(message->files[i].pathName)) << "\n";
  (void)uiParam;
  wchar_t answer[16] = {};
  GetEnvironmentVariableW(L"KELVANE_MAPI_ANSWER", answer, 16);
  return static_cast<ULONG>(_wtoi(answer));
}
