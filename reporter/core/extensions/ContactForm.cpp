#include "reporter/core/extensions/ContactForm.h"

#include <algorithm>

#include "reporter/core/fields/Fields.h"

namespace ruvex {
namespace {

bool IsAsciiLetterOrDigit(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// The "@" the check is about: the last one that is not the first character.
std::u16string_view::size_type CheckedAt(std::u16string_view text) {
  auto at = text.rfind(u'@');
  return at == 0 ? std::u16string_view::npos : at;
}

bool RemainderIsOneAt(std::u16string_view text) {
  std::u16string rest;
  for (char16_t c : text)
    if (!IsAsciiLetterOrDigit(c) && c != u'\'' && c != u'+' && c != u'-' && c != u'_') rest.push_back(c);
  if (rest.size() == text.size()) return false;
  const auto withDots = rest.size();
  std::erase(rest, u'.');
  return rest.size() < withDots && rest == u"@";
}

bool NeedsQuotes(std::u16string_view name) {
  return name.find_first_of(u"()<>[]:;@\\,.\"") != std::u16string_view::npos;
}

}  // namespace

bool IsValidEmailAddress(std::u16string_view text) {
  if (text.empty() || TrimBlanks(text).size() != text.size()) return false;
  const auto at = CheckedAt(text);
  if (at == std::u16string_view::npos) return false;
  if (text.find(u'.', at + 1) == std::u16string_view::npos) return false;
  if (text.front() == u'.' || text.back() == u'.') return false;
  if (at + 1 < text.size() && text[at + 1] == u'.') return false;
  return RemainderIsOneAt(text);
}

std::u16string WithoutControlCharacters(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text)
    if (c >= 32 && c != 127) out.push_back(c);
  return out;
}

std::u16string SenderAddress(std::u16string_view name, std::u16string_view email) {
  const std::u16string address = WithoutControlCharacters(TrimBlanks(email));
  const std::u16string cleanName = WithoutControlCharacters(name);
  const std::u16string_view shownName = TrimBlanks(cleanName);
  if (shownName.empty()) return address;
  std::u16string out;
  if (NeedsQuotes(shownName)) {
    out.push_back(u'"');
    for (char16_t c : shownName) {
      if (c == u'"' || c == u'\\') out.push_back(u'\\');
      out.push_back(c);
    }
    out.push_back(u'"');
  } else {
    out = shownName;
  }
  return out + u" <" + address + u">";
}

std::optional<TContactFormValues> RememberedContact(const IRememberedContact& store) {
  auto name = store.Read(kRememberName);
  auto email = store.Read(kRememberEmail);
  if (!name && !email) return std::nullopt;
  TContactFormValues values;
  values.name = WithoutControlCharacters(name.value_or(u""));
  values.email = WithoutControlCharacters(email.value_or(u""));
  values.remember = true;
  return values;
}

void ContactFormClosedOk(const TContactFormValues& values, IRememberedContact& store, IREException& exceptIntf) {
  const std::u16string name = WithoutControlCharacters(values.name);
  const std::u16string email = WithoutControlCharacters(values.email);
  if (values.remember) {
    store.Write(kRememberName, name);
    store.Write(kRememberEmail, email);
  } else {
    store.Delete(kRememberName);
    store.Delete(kRememberEmail);
  }
  if (!TrimBlanks(email).empty()) exceptIntf.SetMailFrom(SenderAddress(name, email));
}

}  // namespace ruvex
