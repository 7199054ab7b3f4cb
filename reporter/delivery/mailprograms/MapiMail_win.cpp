// Simple MAPI through mapi32.dll: the wide entry point when the mail
// program exports it, else the ANSI one with ANSI texts.
#include <windows.h>

#include <string>
#include <vector>

#include "common/win/NativeHandles_win.h"
#include "common/win/WinHandle_win.h"
#include "common/win/WinText_win.h"
#include "reporter/delivery/mailprograms/MapiMail.h"

namespace ruvex {
namespace {

// The Simple MAPI records, in their ANSI and wide forms.
template <typename TChar>
struct TMapiReceiver {
  ULONG d1;  // reserved
  ULONG class_;
  TChar* name;
  TChar* address;
  ULONG entrySize;
  void* entry;
};

template <typename TChar>
struct TMapiAttach {
  ULONG d1;  // reserved
  ULONG flags;
  ULONG position;
  TChar* pathName;
  TChar* fileName;
  void* fileType;
};

template <typename TChar>
struct TMapiMessage {
  ULONG reserved;
  TChar* subject;
  TChar* noteText;
  TChar* messageType;
  TChar* dateReceived;
  TChar* conversationId;
  ULONG flags;
  TMapiReceiver<TChar>* originator;
  ULONG recipCount;
  TMapiReceiver<TChar>* recips;
  ULONG fileCount;
  TMapiAttach<TChar>* files;
};

template <typename TChar>
using TSendMail = ULONG(WINAPI*)(ULONG_PTR session, ULONG_PTR uiParam, TMapiMessage<TChar>* message, ULONG flags,
                                 ULONG reserved);

constexpr ULONG kMapiTo = 1;

std::string Ansi(const std::u16string& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, kelvane::Wide(text), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, kelvane::Wide(text), static_cast<int>(text.size()), ansi.data(), n, nullptr,
                      nullptr);
  return ansi;
}

bool SurvivesAnsi(const std::u16string& text) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, kelvane::Wide(text), static_cast<int>(text.size()), nullptr, 0,
                      nullptr, &lossy);
  return !lossy;
}

// A path the ANSI code page cannot hold goes by its short 8.3 form.
std::string AnsiPath(const std::u16string& path) {
  if (SurvivesAnsi(path)) return Ansi(path);
  wchar_t shortPath[MAX_PATH * 2] = {};
  const DWORD n = GetShortPathNameW(kelvane::Wide(path), shortPath, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? Ansi(kelvane::FromWide(shortPath, n)) : Ansi(path);
}

// Keeps the texts of one call alive and hands out their pointers.
template <typename TChar, typename TText>
class TCallTexts {
 public:
  // Room for every text up front: the pointers handed out must not move.
  explicit TCallTexts(std::size_t count) { texts_.reserve(count); }
  TChar* Add(TText text) {
    texts_.push_back(std::move(text));
    return texts_.back().empty() ? nullptr : const_cast<TChar*>(texts_.back().c_str());
  }

 private:
  std::vector<TText> texts_;
};

template <typename TChar, typename TText, typename TConvert, typename TConvertPath>
ULONG Call(TSendMail<TChar> send, const TMapiPlan& plan, HWND parent, TConvert convert, TConvertPath convertPath) {
  TCallTexts<TChar, TText> texts(2 + 2 * plan.recipients.size() + 2 * plan.files.size());
  std::vector<TMapiReceiver<TChar>> recipients;
  for (const auto& r : plan.recipients)
    recipients.push_back({0, kMapiTo, texts.Add(convert(r.name)), texts.Add(convert(r.address)), 0, nullptr});
  std::vector<TMapiAttach<TChar>> files;
  for (const auto& f : plan.files)
    files.push_back({0, 0, static_cast<ULONG>(-1), texts.Add(convertPath(f.path)), texts.Add(convert(f.fileName)),
                     nullptr});
  TMapiMessage<TChar> message{};
  message.subject = texts.Add(convert(plan.subject));
  message.noteText = texts.Add(convert(plan.body));
  message.recipCount = static_cast<ULONG>(recipients.size());
  message.recips = recipients.empty() ? nullptr : recipients.data();
  message.fileCount = static_cast<ULONG>(files.size());
  message.files = files.empty() ? nullptr : files.data();
  return send(0, reinterpret_cast<ULONG_PTR>(parent), &message, plan.flags, 0);
}

// A topmost parent would cover the mail program's window during the call.
class TNotTopmostDuring {
 public:
  explicit TNotTopmostDuring(HWND window)
      : window_(window && (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? window : nullptr) {
    if (window_) SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ~TNotTopmostDuring() {
    if (window_) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  TNotTopmostDuring(const TNotTopmostDuring&) = delete;
  TNotTopmostDuring& operator=(const TNotTopmostDuring&) = delete;

 private:
  HWND window_;
};

class TSystemMapiHost final : public IMapiHost {
 public:
  std::optional<std::uint32_t> SendMail(const TMapiPlan& plan, kelvane::TWindowHandle parentWindow) override {
    kelvane::TLibrary mapi(LoadLibraryW(L"mapi32.dll"));
    if (!mapi) return std::nullopt;
    const HWND parent = kelvane::ToHwnd(parentWindow);
    const TNotTopmostDuring notTopmost(parent);
    if (auto wide = reinterpret_cast<TSendMail<wchar_t>>(GetProcAddress(mapi.Get(), "MAPISendMailW"))) {
      const auto same = [](const std::u16string& text) { return std::wstring(kelvane::Wide(text)); };
      return Call<wchar_t, std::wstring>(wide, plan, parent, same, same);
    }
    if (auto ansi = reinterpret_cast<TSendMail<char>>(GetProcAddress(mapi.Get(), "MAPISendMail")))
      return Call<char, std::string>(ansi, plan, parent, Ansi, AnsiPath);
    return std::nullopt;
  }
};

}  // namespace

IMapiHost& SystemMapiHost() {
  static TSystemMapiHost host;
  return host;
}

}  // namespace ruvex
