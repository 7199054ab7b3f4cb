#include "reporter/core/interception/FaultMessages.h"

#include "common/text/Format.h"
#include "common/text/HexText.h"

namespace ruvex {
namespace {

struct TCodeText {
  std::uint32_t code;
  const char16_t* message;
  const char16_t* className;
};

constexpr TCodeText kCodeTexts[] = {
    {0xC000008C, u"Range check error", u"ERangeError"},
    {0xC000008D, u"Floating point underflow", u"EUnderflow"},
    {0xC0000093, u"Floating point underflow", u"EUnderflow"},
    {0xC000008E, u"Floating point division by zero", u"EZeroDivide"},
    {0xC000008F, u"Invalid floating point operation", u"EInvalidOp"},
    {0xC0000090, u"Invalid floating point operation", u"EInvalidOp"},
    {0xC0000092, u"Invalid floating point operation", u"EInvalidOp"},
    {0xC0000091, u"Floating point overflow", u"EOverflow"},
    {0xC0000094, u"Division by zero", u"EDivByZero"},
    {0xC0000095, u"Integer overflow", u"EIntOverflow"},
    {0xC0000096, u"Privileged instruction", u"EPrivilege"},
    {0xC00000FD, u"Stack overflow", u"EStackOverflow"},
    {0xC000013A, u"Control-C hit", u"EControlC"},
};

const TCodeText* Find(std::uint32_t code) {
  for (const TCodeText& entry : kCodeTexts)
    if (entry.code == code) return &entry;
  return nullptr;
}

std::u16string Dollar(std::uint64_t value) { return u"$" + kelvane::HexLower16(value); }

}  // namespace

std::u16string SystemExceptionMessage(std::uint32_t code, const TAccessFacts& access) {
  if (code == kAccessViolation) {
    if (!access.moduleName) return u"Access Violation";
    // Filled by position in one pass: a module name holding "%s" stays as it is.
    return kelvane::FormatText(u"Access violation at address %p in module '%s'. %s of address %p",
                               {Dollar(access.faultAddress), *access.moduleName, access.write ? u"Write" : u"Read",
                                Dollar(access.accessedAddress)});
  }
  if (const TCodeText* entry = Find(code)) return entry->message;
  return kelvane::FormatText(u"External exception %s", {kelvane::HexLower16(code)});
}

std::vector<std::u16string> SystemExceptionClassChain(std::uint32_t code) {
  std::vector<std::u16string> chain;
  if (code == kAccessViolation)
    chain.push_back(u"EAccessViolation");
  else if (const TCodeText* entry = Find(code))
    chain.push_back(entry->className);
  else
    chain.push_back(u"EExternalException");
  chain.insert(chain.end(), {u"EExternal", u"Exception"});
  return chain;
}

}  // namespace ruvex
