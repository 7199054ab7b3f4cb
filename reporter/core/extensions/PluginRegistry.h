#pragma once
// The bug-report plug-ins: named callbacks that contribute a header field
// or a section of their own to every report, in registration order.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "reporter/core/flow/Exception.h"

namespace ruvex {

using TBugReportPluginW = std::function<std::u16string()>;
using TBugReportPluginExW = std::function<std::u16string(IREException& exceptIntf)>;
// ANSI texts, converted on use.
using TBugReportPluginA = std::function<std::string()>;
using TBugReportPluginExA = std::function<std::string(IREException& exceptIntf)>;
using TBugReportPlugin = std::variant<TBugReportPluginA, TBugReportPluginW, TBugReportPluginExA, TBugReportPluginExW>;

struct TReportPlugin {
  std::u16string name, description;
  TBugReportPlugin callback;
  bool ownSection = false;  // a section of its own instead of a header field
};

class TPluginRegistry {
 public:
  // Appends; the same name may be registered twice.
  void AddReportPlugin(std::u16string name, std::u16string description, TBugReportPlugin callback, bool ownSection);
  // Removes the first plug-in of exactly that name (case-sensitive).
  void RemoveReportPlugin(std::u16string_view name);
  std::vector<TReportPlugin> Plugins() const;
  // The plug-ins named in `pluginsSetting` ("a|b|c"), in its order, matched
  // case-insensitively: the first registered plug-in of each name.
  std::vector<TReportPlugin> InReportOrder(std::u16string_view pluginsSetting) const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<TReportPlugin> plugins_;
};

// The plug-in's text; nullopt when it raised (the report shows the
// internal-error text then).
std::optional<std::u16string> CallReportPlugin(const TReportPlugin& plugin, IREException& exceptIntf);

}  // namespace ruvex
