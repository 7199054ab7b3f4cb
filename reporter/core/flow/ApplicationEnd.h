#pragma once
// The two ways the reporter ends the application.
#include <optional>
#include <string>

#include "reporter/core/flow/FlowServices.h"

namespace ruvex {

// Ends the process at once with the reporter's exit code (default 1).
void CloseTheApplication(TFlowServices& services);

// Starts the successor (default: this process's command line) and ends with
// exit code 2. A successor that cannot be started leaves nothing to hand
// over to: the application is closed instead. Returns whether it restarted.
bool RestartTheApplication(TFlowServices& services, std::optional<std::u16string> commandLine = std::nullopt);

}  // namespace ruvex
