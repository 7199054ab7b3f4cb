#pragma once
// The property model of the reporter's settings and the built-in defaults.
#include <cstdint>
#include <memory>
#include <string>

namespace ruvex {

enum TPropertyType : std::uint8_t { ptString = 0, ptInteger = 1, ptBoolean = 2, ptBinary = 3 };

enum TREButton : std::uint32_t {
  bSendBugReport, bSaveBugReport, bPrintBugReport, bShowBugReport,
  bContinueApplication, bRestartApplication, bCloseApplication
};
enum TREDupDef : std::uint32_t { ddExceptAddrIdentical, ddCrashStackIdentical, ddAllStacksIdentical };
enum TREShowSetting : std::uint32_t { ssFullBox, ssAssistant, ssDetailBox, ssSimpleBox, ssNothing };

// One property. Strings are shared immutable values, so a reader that took a
// copy keeps a valid text while a setter replaces it.
struct TREProperty {
  std::string name;
  TPropertyType typ = ptString;
  bool vBool = false;
  std::int32_t vInt = 0;
  std::shared_ptr<const std::u16string> vStr;

  std::u16string Str() const { return vStr ? *vStr : std::u16string(); }
};

// An entry of the built-in default table; its strings are plain ASCII.
struct TREDefaultProperty {
  const char* name;
  TPropertyType typ;
  bool vBool;
  std::int32_t vInt;
  const char* vStr;
};

inline constexpr int kDefaultPropertyCount = 137;
extern const TREDefaultProperty kDefaultProperties[kDefaultPropertyCount];

// Linear search by exact name, nullptr when the table has no such entry.
const TREDefaultProperty* FindDefaultProperty(const char* name);

}  // namespace ruvex
