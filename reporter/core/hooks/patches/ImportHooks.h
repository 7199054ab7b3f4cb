#pragma once
// Redirecting the calls that modules make through their import slots: each
// slot that imports the function gets the hook's address, recorded in the
// patch list so that it can be taken back.
#include <string>
#include <vector>

#include "reporter/core/hooks/patches/PatchList.h"

namespace ruvex {

struct TImportHook {
  std::string dll;       // as the importing module names it, e.g. "kernel32.dll"
  std::string function;
  Address resolved = 0;  // where the system resolves it: matches slots of images without name tables
  Address hook = 0;
};

// Patches the slots of every module in `modules`; returns the slots patched.
std::vector<Address> HookImports(TPatchList& patches, const std::vector<ModuleEntry>& modules,
                                 const TImportHook& hook);

// Takes the slots back (each only where it still holds the hook).
void UnhookImports(TPatchList& patches, const std::vector<Address>& slots);

}  // namespace ruvex
