#pragma once
// The mail program registered for mailto: URLs, started with recipients,
// subject and body in the URL.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ruvex {

// What the mailto channel asks of the system.
class IMailtoHost {
 public:
  virtual ~IMailtoHost() = default;
  // The registered open command of mailto, environment variables expanded;
  // nullopt when none is registered.
  virtual std::optional<std::u16string> OpenCommand() = 0;
  // True when the process was created (its handles are closed at once).
  virtual bool StartProcess(const std::u16string& commandLine) = 0;
};

// UTF-8 with every byte but ASCII letters, digits, "." and "@" as "%XX".
std::string MailtoEscape(std::u16string_view text);

// "mailto:" + recipients + "?subject=" + subject + "&body=" + body, each
// escaped; the list normalised, with ";" between addresses for Outlook.
std::string MailtoUrl(std::u16string_view recipients, std::u16string_view subject, std::u16string_view body,
                      bool semicolons);

// The command with the URL in place of its first "%1", or appended.
std::u16string MailtoCommandLine(std::u16string_view command, std::string_view url);

// The longest command line a process may be given.
inline constexpr std::size_t kMaxCommandLine = 32766;

// A command line no longer than limit, cut neither inside a "%XX" escape
// nor inside the escapes of one UTF-8 character.
std::u16string CutCommandLine(std::u16string commandLine, std::size_t limit = kMaxCommandLine);

bool SendMailViaMailto(IMailtoHost& host, std::u16string_view recipients, std::u16string_view subject,
                       std::u16string_view body);

// The system's registry and processes.
IMailtoHost& SystemMailtoHost();

}  // namespace ruvex
