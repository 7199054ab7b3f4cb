#pragma once
// Simple MAPI: the message handed to the user's mail program, which sends
// it (or shows it for editing first).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/win/NativeHandles.h"

namespace ruvex {

enum class TMapiResult { mrFailed = 0, mrSent = 1, mrCancelled = 2 };

inline constexpr std::uint32_t kMapiLogonUi = 0x1;
inline constexpr std::uint32_t kMapiDialog = 0x8;
inline constexpr std::uint32_t kMapiUserAbort = 1;

struct TMapiRecipientPlan {
  std::u16string name, address;  // address with its "SMTP:" prefix
  bool operator==(const TMapiRecipientPlan&) const = default;
};

struct TMapiFilePlan {
  std::u16string path, fileName;  // fileName: the send-as name
  bool operator==(const TMapiFilePlan&) const = default;
};

struct TMapiPlan {
  std::u16string subject, body;
  std::vector<TMapiRecipientPlan> recipients;
  std::vector<TMapiFilePlan> files;
  std::uint32_t flags = 0;
};

// One recipient per address of the normalised list: "Name <a@b>" gives the
// name and "SMTP:a@b", a plain address is both name and address. Without
// recipients, or when not silent, the mail program's dialog is asked for.
TMapiPlan PlanMapiMail(const std::u16string& recipients, const std::u16string& subject,
                       const std::u16string& body, bool silent, const std::vector<std::u16string>& sendAsNames,
                       const std::vector<std::u16string>& paths);

class IMapiHost {
 public:
  virtual ~IMapiHost() = default;
  // The mail program's answer code; nullopt when Simple MAPI is not there.
  virtual std::optional<std::uint32_t> SendMail(const TMapiPlan& plan, kelvane::TWindowHandle parent) = 0;
};

TMapiResult SendMailViaMapi(IMapiHost& host, const TMapiPlan& plan, kelvane::TWindowHandle parent);

// mapi32.dll of the system (MAPISendMailW when it exports it).
IMapiHost& SystemMapiHost();

}  // namespace ruvex
