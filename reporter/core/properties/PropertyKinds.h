#pragma once
// Checks properties read from a settings text against the property table:
// each name must be one of the table's, and each value of its kind, so that
// the reporter's typed reads see what the text meant.
#include <string>
#include <vector>

#include "reporter/core/properties/Properties.h"

namespace ruvex {

// Turns values written in another notation into the table's kind: 1 and 0
// for a boolean; an enumeration name (FocusedBtn, DupExceptDef,
// DupFreezeDef, F1/F2/GnShowCfg) or its number into the integer the
// reporter reads. Returns "line N: ..." for the first property that is
// unknown or of the wrong kind, empty when all fit. `lines` holds the
// line number of each property.
std::string CheckPropertyKinds(std::vector<TREProperty>& properties, const std::vector<int>& lines);

}  // namespace ruvex
