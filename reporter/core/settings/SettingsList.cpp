#include "reporter/core/settings/SettingsList.h"

#include <cstring>

namespace ruvex {

std::optional<TREProperty> TRESettingsModule::Find(const char* name) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const auto& p : props_)
    if (p.name == name) return p;
  return std::nullopt;
}

bool TRESettingsModule::Write(const char* name, TPropertyType typ,
                              const std::function<void(TREProperty&)>& store) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& p : props_)
    if (p.name == name) {
      if (p.typ != typ) return false;
      store(p);
      return true;
    }
  // The first block held room for 147 properties; later ones grow by 20.
  if (props_.size() == props_.capacity()) props_.reserve(props_.capacity() + 20);
  TREProperty created;
  created.name = name;
  created.typ = typ;
  store(created);
  props_.push_back(std::move(created));
  return true;
}

void TRESettingsModule::Replace(std::vector<TREProperty> properties) {
  if (properties.capacity() < 147) properties.reserve(147);
  std::lock_guard<std::mutex> hold(lock_);
  props_ = std::move(properties);
}

std::vector<TREProperty> TRESettingsModule::Snapshot() const {
  std::lock_guard<std::mutex> hold(lock_);
  return props_;
}

TLocalSettingsAnchor::~TLocalSettingsAnchor() { delete control_; }

TSettingsControl* TLocalSettingsAnchor::Acquire() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!control_) control_ = new TSettingsControl();
  ++control_->refCount;
  return control_;
}

void TLocalSettingsAnchor::Release(TSettingsControl* control) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!control || control != control_) return;
  if (--control_->refCount <= 0) {
    delete control_;
    control_ = nullptr;
  }
}

bool TLocalSettingsAnchor::Exists() const {
  std::lock_guard<std::mutex> hold(lock_);
  return control_ != nullptr;
}

TRESettingsModule* LinkSettingsModule(TSettingsControl& control, ModuleHandle module,
                                      const std::function<void(TRESettingsModule&)>& fill) {
  std::lock_guard<std::mutex> hold(control.listLock);
  TRESettingsModule** link = &control.head;
  while (*link && (*link)->module != module) link = &(*link)->next;
  if (!*link) {
    auto* record = new TRESettingsModule(module);
    fill(*record);
    *link = record;
  }
  ++(*link)->refCount;
  return *link;
}

void UnlinkSettingsModule(TSettingsControl& control, TRESettingsModule* record) {
  if (!record) return;
  std::lock_guard<std::mutex> hold(control.listLock);
  if (--record->refCount > 0) return;
  for (TRESettingsModule** link = &control.head; *link; link = &(*link)->next)
    if (*link == record) {
      *link = record->next;
      break;
    }
  delete record;
}

}  // namespace ruvex
