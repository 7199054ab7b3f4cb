#pragma once
// The shared settings list of the process, reached through the named block
// "RuvexExceptSettingsBuf2$<pid>" so that every module carrying the reporter
// sees the same list; its creation and counting run under the named mutex
// "RuvexExceptSettingsMtx$<pid>".
#include "reporter/core/settings/SettingsList.h"

namespace ruvex {

class TNamedSettingsAnchor : public ISettingsListAnchor {
 public:
  TSettingsControl* Acquire() override;
  void Release(TSettingsControl* control) override;
};

// What the named block holds: a checked pointer to the control block.
struct TSettingsBufferView {
  std::uint32_t magic;
  std::uint32_t ownerProcess;
  TSettingsControl* control;
};

// True when `control` is committed private read-write memory of this
// process holding a control block that this process owns. A block planted
// by someone else under the shared name fails this check.
bool IsTrustedSettingsControl(const TSettingsBufferView& view, std::uint32_t processId);

}  // namespace ruvex
