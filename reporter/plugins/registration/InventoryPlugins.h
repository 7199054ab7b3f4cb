#pragma once
// The registration records of the inventory plug-ins, in the order they
// are registered at start-up (and unregistered by name at shut-down).
#include <array>
#include <string>

namespace ruvex {

// A text-returning plug-in: no arguments, never raises.
using TBugReportPluginW = std::u16string (*)();

struct TInventoryPlugin {
  const char16_t* name;
  const char16_t* description;
  TBugReportPluginW callback;
  bool ownSection;
};

const std::array<TInventoryPlugin, 3>& InventoryPlugins();

}  // namespace ruvex
