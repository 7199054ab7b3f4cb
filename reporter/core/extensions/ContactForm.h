#pragma once
// The built-in contact form: the remembered name and e-mail address, the
// e-mail check, and the sender address it gives the exception.
#include <optional>
#include <string>
#include <string_view>

#include "reporter/core/flow/Exception.h"

namespace ruvex {

// The per-user registry key of the library ("RememberName", "RememberEmail").
class IRememberedContact {
 public:
  virtual ~IRememberedContact() = default;
  virtual std::optional<std::u16string> Read(std::u16string_view valueName) const = 0;
  virtual void Write(std::u16string_view valueName, std::u16string_view value) = 0;
  virtual void Delete(std::u16string_view valueName) = 0;
};

inline constexpr std::u16string_view kRememberName = u"RememberName";
inline constexpr std::u16string_view kRememberEmail = u"RememberEmail";

struct TContactFormValues {
  std::u16string name;   // "NameEdit"
  std::u16string email;  // "EmailEdit"
  bool remember = false; // "MemCheck"
};

bool IsValidEmailAddress(std::u16string_view text);

// Removes every control character (codes below 32 and 127): a value that
// ends up in a mail header must not start a line of its own.
std::u16string WithoutControlCharacters(std::u16string_view text);

// name, " <", address, ">" (the address alone without a name); a name with
// characters that mean something in an address is quoted.
std::u16string SenderAddress(std::u16string_view name, std::u16string_view email);

// When the form is shown: the remembered values, with MemCheck checked, or
// nullopt when neither is remembered.
std::optional<TContactFormValues> RememberedContact(const IRememberedContact& store);

// When the form is closed with OK: store or forget the values, and set the
// exception's sender address when an address was entered.
void ContactFormClosedOk(const TContactFormValues& values, IRememberedContact& store, IREException& exceptIntf);

}  // namespace ruvex
