#include "reporter/core/flow/ExceptFilter.h"

#include "common/text/TextItems.h"
#include "common/text/Windows1252.h"
#include "reporter/core/fields/Fields.h"

namespace ruvex {

bool ClassMatchesFilter(std::u16string_view classNames, const std::vector<std::u16string>& classChain) {
  for (const auto& item : kelvane::SplitItems(classNames, u',')) {
    std::u16string_view name = TrimBlanks(item);
    if (name.empty()) continue;
    for (const auto& cls : classChain)
      if (kelvane::EqualsIgnoreCase(cls, name)) return true;
  }
  return false;
}

TFilterSet ChooseFilter(const IREModuleSettings& settings, const std::vector<std::u16string>& classChain) {
  if (ClassMatchesFilter(settings.GetFilter1Classes(), classChain)) return TFilterSet::filter1;
  if (ClassMatchesFilter(settings.GetFilter2Classes(), classChain)) return TFilterSet::filter2;
  return TFilterSet::general;
}

TFilterChoice ApplyFilter(const IRESettings& settings, TFilterSet set) {
  const std::string prefix = set == TFilterSet::filter1 ? "F1" : set == TFilterSet::filter2 ? "F2" : "Gn";
  auto flag = [&](const char* stem) { return settings.GetPropBool((prefix + stem).c_str()); };
  TFilterChoice choice;
  choice.set = set;
  choice.createBugReport = !flag("NoBugRep");
  choice.createScreenShot = !flag("NoScrShot") && settings.GetScreenShotDepth() > 0;
  choice.pauseThreads = !flag("NoSuspend") && settings.GetSuspendThreads();
  choice.callHandlers = !flag("NoHandlers");
  choice.showSetting = static_cast<TREShowSetting>(settings.GetPropDw((prefix + "ShowCfg").c_str()));
  choice.assistant = settings.GetPropStr((prefix + "Assis").c_str());
  return choice;
}

}  // namespace ruvex
