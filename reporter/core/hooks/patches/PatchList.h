#pragma once
// Every change the reporter makes to code or to import slots, kept so that
// shut-down can take it back. A patch is written only when the new bytes
// differ from what memory holds; the page is writable only for the write.
#include <mutex>
#include <vector>

#include "reporter/core/hooks/patches/MemoryPatcher.h"

namespace ruvex {

struct TCodePatch {
  Address address = 0;
  TBytes originalBytes;
  TBytes newBytes;
  Address extraBuffer = 0;  // a stub the patch jumps into (AllocateCode), 0 none
};

enum class TPatchResult { applied, alreadyInPlace, failed };

class TPatchList {
 public:
  explicit TPatchList(IMemoryPatcher& memory) : memory_(memory) {}
  ~TPatchList() = default;
  TPatchList(const TPatchList&) = delete;
  TPatchList& operator=(const TPatchList&) = delete;

  // Writes `newBytes` at `address` and records the patch. `extraBuffer` is
  // owned by the list from here on, whatever the result.
  TPatchResult Apply(Address address, const TBytes& newBytes, Address extraBuffer = 0);
  // Takes back the patch at `address` (see UndoAll); false when there is none
  // or memory no longer holds its bytes.
  bool Undo(Address address);
  // Restores the original bytes of each patch whose bytes are still in
  // memory, newest first; a patch something else has overwritten since is
  // left alone, and so is its stub, which that code may still jump into.
  void UndoAll();
  std::vector<TCodePatch> Patches() const;
  IMemoryPatcher& Memory() const { return memory_; }

 private:
  bool Write(Address address, const TBytes& bytes);
  bool UndoOne(const TCodePatch& patch);

  IMemoryPatcher& memory_;
  mutable std::mutex mutex_;
  std::vector<TCodePatch> patches_;
};

}  // namespace ruvex
