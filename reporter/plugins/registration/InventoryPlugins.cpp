#include "reporter/plugins/registration/InventoryPlugins.h"

#include "reporter/plugins/hardware/HardwareList.h"
#include "reporter/plugins/modules/ModuleList.h"
#include "reporter/plugins/processes/ProcessList.h"

namespace ruvex {

const std::array<TInventoryPlugin, 3>& InventoryPlugins() {
  static const std::array<TInventoryPlugin, 3> plugins = {{
      {u"hardware", u"list of installed hardware", &HardwareListPlugin, true},
      {u"processes", u"list of running processes", &ProcessListPlugin, true},
      {u"modules", u"list of loaded modules", &ModuleListPlugin, true},
  }};
  return plugins;
}

}  // namespace ruvex
