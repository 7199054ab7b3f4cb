#pragma once
// The linker's detailed text map: the segment list, the detailed map of
// segments (units), the publics by value, the line number blocks and the
// program entry point. Addresses are placed at the map's base of code (and
// base of data for data segments).
#include <string_view>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex {

// Adds what the text holds to `map`; false (with nothing added) when it
// holds no segment list. A line that does not parse is skipped.
bool ParseTextMap(std::string_view text, TMapFile& map);

}  // namespace ruvex
