#pragma once
// Writes the code tables of a TMapFile as a detailed text map: the segment
// list, the detailed map of segments, the publics by value, one line
// number block per unit and the entry point.
#include <string>

#include "reporter/engines/symbols/mapfile/MapFile.h"

namespace ruvex::symbols {

std::string WriteTextMap(const TMapFile& map);

}  // namespace ruvex::symbols
