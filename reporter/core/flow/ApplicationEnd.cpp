#include "reporter/core/flow/ApplicationEnd.h"

namespace ruvex {

void CloseTheApplication(TFlowServices& services) { services.process.Terminate(services.switches.closeExitCode); }

bool RestartTheApplication(TFlowServices& services, std::optional<std::u16string> commandLine) {
  const std::u16string line = commandLine ? *commandLine : services.process.CommandLine();
  if (!services.process.StartSuccessor(line, services.history)) {
    CloseTheApplication(services);
    return false;
  }
  services.process.Terminate(kRestartExitCode);
  return true;
}

}  // namespace ruvex
