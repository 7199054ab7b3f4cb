#pragma once
// The fingerprint of a module's separately kept symbol data, as its own
// settings block names it. Only the module's own block counts: a library
// without one must not inherit the program's fingerprint.
#include <string>

#include "reporter/core/settings/SettingsHost.h"

namespace ruvex {

// The "MinDebugInfo" text of the module's block (the last one when the
// block holds several); empty when the block or the value is missing.
std::string ModuleMinDebugInfo(const ISettingsHost& host, ModuleHandle module);

}  // namespace ruvex
