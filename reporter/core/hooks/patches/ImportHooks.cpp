#include "reporter/core/hooks/patches/ImportHooks.h"

#include "reporter/core/hooks/patches/ImportSlots.h"
#include "reporter/engines/pe/headers/PeImage.h"

namespace ruvex {

std::vector<Address> HookImports(TPatchList& patches, const std::vector<ModuleEntry>& modules,
                                 const TImportHook& hook) {
  std::vector<Address> patched;
  const IMemoryReader& memory = patches.Memory();
  for (const ModuleEntry& module : modules) {
    const auto headers = ImageNtHeaders(memory, module.base);
    if (!headers) continue;
    const unsigned slotSize = headers->pe32Plus ? 8 : 4;
    TBytes value;
    for (unsigned i = 0; i < slotSize; ++i) value.push_back(static_cast<std::uint8_t>(hook.hook >> (8 * i)));
    for (const Address slot : FindImportSlots(memory, module.base, hook.dll, hook.function, hook.resolved))
      if (patches.Apply(slot, value) == TPatchResult::applied) patched.push_back(slot);
  }
  return patched;
}

void UnhookImports(TPatchList& patches, const std::vector<Address>& slots) {
  for (auto it = slots.rbegin(); it != slots.rend(); ++it) patches.Undo(*it);
}

}  // namespace ruvex
