#pragma once
// The process-wide list of parsed settings blocks, one record per module,
// shared by every module of the process that carries the reporter.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/properties/Properties.h"
#include "reporter/core/settings/SettingsHost.h"

namespace ruvex {

// One module's properties. Readers and setters run concurrently, so every
// access takes the record's lock and readers get copies: a reader never
// sees an array that a growing setter moved or a string it replaced.
class TRESettingsModule {
 public:
  explicit TRESettingsModule(ModuleHandle module) : module(module) {}

  std::int32_t refCount = 0;
  const ModuleHandle module;
  TRESettingsModule* next = nullptr;

  std::optional<TREProperty> Find(const char* name) const;
  // Looks the name up (creating it with `typ` when missing) and stores the
  // value when the property has that kind. Returns whether it was written.
  bool Write(const char* name, TPropertyType typ, const std::function<void(TREProperty&)>& store);
  void Replace(std::vector<TREProperty> properties);
  std::vector<TREProperty> Snapshot() const;

 private:
  mutable std::mutex lock_;
  std::vector<TREProperty> props_;
};

inline constexpr std::uint32_t kSettingsControlMagic = 0x52535631;  // "RSV1"

// The control block that the named shared block points to.
struct TSettingsControl {
  std::uint32_t magic = kSettingsControlMagic;
  std::uint32_t ownerProcess = 0;
  std::int32_t refCount = 0;
  std::uintptr_t mapping = 0;  // handle of the shared-memory object
  std::mutex listLock;         // guards the list and each record's refCount
  TRESettingsModule* head = nullptr;
};

// Opens or creates the shared list and counts its users.
class ISettingsListAnchor {
 public:
  virtual ~ISettingsListAnchor() = default;
  // nullptr when the shared block can be neither opened nor created.
  virtual TSettingsControl* Acquire() = 0;
  virtual void Release(TSettingsControl* control) = 0;
};

// The list of one process without a named block: enough where a single
// module carries the reporter, and for tests.
class TLocalSettingsAnchor : public ISettingsListAnchor {
 public:
  ~TLocalSettingsAnchor() override;
  TSettingsControl* Acquire() override;
  void Release(TSettingsControl* control) override;
  bool Exists() const;

 private:
  mutable std::mutex lock_;
  TSettingsControl* control_ = nullptr;
};

// Finds the module's record or appends one filled by `fill`; counts the
// reference. Runs under the control block's list lock.
TRESettingsModule* LinkSettingsModule(TSettingsControl& control, ModuleHandle module,
                                      const std::function<void(TRESettingsModule&)>& fill);
// Drops a reference; the last one unlinks and frees the record.
void UnlinkSettingsModule(TSettingsControl& control, TRESettingsModule* record);

}  // namespace ruvex
