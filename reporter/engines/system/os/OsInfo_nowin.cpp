#include "reporter/engines/system/os/OsInfo.h"

namespace ruvex {

// Away from Windows there is no Windows version to describe.
const TOS& OsInfo() {
  static const TOS none{0, 0, 0, {}, false, osNone, false, osNone, osNone, false, 0, OsEnumText(osNone)};
  return none;
}

}  // namespace ruvex
