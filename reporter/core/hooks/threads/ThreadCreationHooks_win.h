#pragma once
// Hooks on the system's thread creation ("CreateThread",
// "CreateRemoteThread", "CreateRemoteThreadEx" of kernel32 and kernelbase,
// and "QueueUserWorkItem"), so that the thread registry knows who created
// each thread and from where, and forgets the thread when its procedure
// returns. They redirect the import slots of every loaded module.
#include "reporter/core/hooks/patches/PatchList.h"
#include "reporter/core/startup/ThreadRegistry_win.h"

namespace ruvex {

// Installs the hooks; the patches go into `patches` and new threads into
// `registry`, both of which must outlive RemoveThreadCreationHooks. True
// when at least one import slot was redirected. One installation at a time.
bool InstallThreadCreationHooks(TThreadRegistry& registry, TPatchList& patches);
// Takes the hooks back; threads still running stop touching the registry.
void RemoveThreadCreationHooks(TPatchList& patches);

}  // namespace ruvex
