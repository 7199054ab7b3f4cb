#include "reporter/core/properties/PropertyKinds.h"

#include <cstring>

#include "common/text/Utf.h"
#include "common/text/Windows1252.h"

namespace ruvex {
namespace {

struct TEnumeration {
  const char* properties[3];
  std::vector<const char*> values;
};

const std::vector<TEnumeration>& Enumerations() {
  static const std::vector<TEnumeration> kEnumerations = {
      {{"FocusedBtn"},
       {"bSendBugReport", "bSaveBugReport", "bPrintBugReport", "bShowBugReport", "bContinueApplication",
        "bRestartApplication", "bCloseApplication"}},
      {{"DupExceptDef", "DupFreezeDef"}, {"ddExceptAddrIdentical", "ddCrashStackIdentical", "ddAllStacksIdentical"}},
      {{"F1ShowCfg", "F2ShowCfg", "GnShowCfg"}, {"ssFullBox", "ssAssistant", "ssDetailBox", "ssSimpleBox", "ssNothing"}},
  };
  return kEnumerations;
}

const TEnumeration* EnumerationOf(const std::string& name) {
  for (const TEnumeration& e : Enumerations())
    for (const char* p : e.properties)
      if (p && name == p) return &e;
  return nullptr;
}

std::string NamesOf(const TEnumeration& e) {
  std::string names;
  for (const char* v : e.values) names += (names.empty() ? "" : ", ") + std::string(v);
  return names;
}

// Empty when the property fits (after conversion), else why not.
std::string FitEnumeration(TREProperty& p, const TEnumeration& e) {
  const std::int32_t count = static_cast<std::int32_t>(e.values.size());
  if (p.typ == ptInteger && p.vInt >= 0 && p.vInt < count) return {};
  if (p.typ == ptString) {
    for (std::int32_t i = 0; i < count; ++i)
      if (kelvane::EqualsIgnoreCase(p.Str(), kelvane::Utf8ToUtf16(e.values[i]))) {
        p = TREProperty{p.name, ptInteger, false, i, nullptr};
        return {};
      }
  }
  return p.name + " takes one of " + NamesOf(e) + " or its number 0 to " + std::to_string(count - 1);
}

std::string FitKind(TREProperty& p, TPropertyType kind) {
  if (p.typ == kind) return {};
  if (kind == ptBoolean && p.typ == ptInteger && (p.vInt == 0 || p.vInt == 1)) {
    p = TREProperty{p.name, ptBoolean, p.vInt == 1, 0, nullptr};
    return {};
  }
  switch (kind) {
    case ptBoolean: return p.name + " takes True, False, 1 or 0";
    case ptInteger: return p.name + " takes an integer";
    default: return p.name + " takes a quoted string";
  }
}

// Names the reporter reads although the default table leaves them out
// (their default is false, 0 or empty): the kind each must have.
bool ReadOutsideTheTable(const std::string& name, TPropertyType& kind) {
  if (name == "CrashOnBuffer") return kind = ptBoolean, true;
  if (name == "MinDebugInfo") return kind = ptString, true;
  constexpr std::size_t kPrefix = 9;  // "Assistant" and its number
  if (name.size() > kPrefix && name.compare(0, kPrefix, "Assistant") == 0 &&
      name.find_first_not_of("0123456789", kPrefix) == std::string::npos)
    return kind = ptString, true;
  return false;
}

}  // namespace

std::string CheckPropertyKinds(std::vector<TREProperty>& properties, const std::vector<int>& lines) {
  for (std::size_t i = 0; i < properties.size(); ++i) {
    TREProperty& p = properties[i];
    std::string why;
    const TREDefaultProperty* entry = FindDefaultProperty(p.name.c_str());
    TPropertyType outsideKind = ptString;
    if (!entry && ReadOutsideTheTable(p.name, outsideKind))
      why = FitKind(p, outsideKind);
    else if (!entry)
      why = "unknown property '" + p.name + "'";
    else if (const TEnumeration* e = EnumerationOf(p.name))
      why = FitEnumeration(p, *e);
    else
      why = FitKind(p, entry->typ);
    if (!why.empty()) return "line " + std::to_string(i < lines.size() ? lines[i] : 0) + ": " + why;
  }
  return {};
}

}  // namespace ruvex
