#pragma once
// The import-address slots through which a module calls a function of
// another module: the place to redirect that module's calls without
// touching the function's code.
#include <string_view>
#include <vector>

#include "reporter/engines/memory/MemoryReader.h"

namespace ruvex {

// The slots of the image at `module` that import `function` from the
// module named `dllName` (compared without regard to case). A slot counts
// when its import-name entry names the function, or, for images whose name
// table is gone, when it holds `resolved` (0: not asked).
std::vector<Address> FindImportSlots(const IMemoryReader& memory, Address module, std::string_view dllName,
                                     std::string_view function, Address resolved = 0);

}  // namespace ruvex
