#include "reporter/core/extensions/PluginRegistry.h"

#include <algorithm>

#include "common/text/TextItems.h"
#include "common/text/Windows1252.h"

namespace ruvex {

void TPluginRegistry::AddReportPlugin(std::u16string name, std::u16string description, TBugReportPlugin callback,
                                      bool ownSection) {
  std::lock_guard<std::mutex> hold(lock_);
  plugins_.push_back({std::move(name), std::move(description), std::move(callback), ownSection});
}

void TPluginRegistry::RemoveReportPlugin(std::u16string_view name) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = std::find_if(plugins_.begin(), plugins_.end(), [name](const TReportPlugin& p) { return p.name == name; });
  if (it != plugins_.end()) plugins_.erase(it);
}

std::vector<TReportPlugin> TPluginRegistry::Plugins() const {
  std::lock_guard<std::mutex> hold(lock_);
  return plugins_;
}

std::vector<TReportPlugin> TPluginRegistry::InReportOrder(std::u16string_view pluginsSetting) const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<TReportPlugin> ordered;
  for (const auto& name : kelvane::SplitItems(pluginsSetting, u'|')) {
    auto it = std::find_if(plugins_.begin(), plugins_.end(),
                           [&name](const TReportPlugin& p) { return kelvane::EqualsIgnoreCase(p.name, name); });
    if (it != plugins_.end()) ordered.push_back(*it);
  }
  return ordered;
}

void TPluginRegistry::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  plugins_.clear();
}

std::optional<std::u16string> CallReportPlugin(const TReportPlugin& plugin, IREException& exceptIntf) {
  struct TCall {
    IREException& exceptIntf;
    std::u16string operator()(const TBugReportPluginA& f) const { return kelvane::DecodeWindows1252(f()); }
    std::u16string operator()(const TBugReportPluginW& f) const { return f(); }
    std::u16string operator()(const TBugReportPluginExA& f) const {
      return kelvane::DecodeWindows1252(f(exceptIntf));
    }
    std::u16string operator()(const TBugReportPluginExW& f) const { return f(exceptIntf); }
  };
  try {
    return std::visit(TCall{exceptIntf}, plugin.callback);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace ruvex
