#pragma once
// Which of the three filter sets (F1, F2, general) applies to an exception,
// and the flags the chosen set gives it.
#include <string>
#include <vector>

#include "reporter/core/properties/Properties.h"
#include "reporter/core/settings/Settings.h"

namespace ruvex {

enum class TFilterSet { filter1, filter2, general };

struct TFilterChoice {
  TFilterSet set = TFilterSet::general;
  bool createBugReport = true;
  bool createScreenShot = false;
  bool pauseThreads = false;
  bool callHandlers = true;
  TREShowSetting showSetting = ssFullBox;
  std::u16string assistant;
};

// True when a class of `classChain` (the class first, then its ancestors)
// is named in the comma-separated `classNames` (case-insensitive, blanks
// around the commas ignored).
bool ClassMatchesFilter(std::u16string_view classNames, const std::vector<std::u16string>& classChain);

// Filter 1 first, then filter 2, else the general set.
TFilterSet ChooseFilter(const IREModuleSettings& settings, const std::vector<std::u16string>& classChain);

// The flags of `set` as `settings` (the exception object) read them.
TFilterChoice ApplyFilter(const IRESettings& settings, TFilterSet set);

}  // namespace ruvex
