#pragma once
// The process as the flow ends it: at once, or by a successor that waits
// for this process to end and takes over its history.
#include <windows.h>

#include "common/win/WinHandle_win.h"
#include "reporter/core/flow/FlowServices.h"

namespace ruvex {

class TWin32ProcessControl final : public IProcessControl {
 public:
  std::u16string CommandLine() const override;
  bool StartSuccessor(std::u16string_view commandLine, const TExceptionHistory& history) override;
  void Terminate(std::uint32_t exitCode) override;

 private:
  // Held until this process ends, so the successor finds its block.
  kelvane::TWinHandle handover_;
};

}  // namespace ruvex
