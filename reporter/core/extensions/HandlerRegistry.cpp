#include "reporter/core/extensions/HandlerRegistry.h"

#include <algorithm>

namespace ruvex {
namespace {

template <class THandler>
auto& ListOf(THandlerLists<THandler>& lists, THandlerForm form) {
  return form == THandlerForm::method ? lists.methods : lists.procedures;
}

template <class THandler>
void RemoveFirst(THandlerLists<THandler>& lists, THandlerForm form, const void* key) {
  auto& list = ListOf(lists, form);
  auto it = std::find_if(list.begin(), list.end(), [key](const auto& entry) { return entry.key == key; });
  if (it != list.end()) list.erase(it);
}

}  // namespace

void THandlerRegistry::RegisterExceptionHandler(const void* key, TExceptEvent handler, THandlerForm form,
                                                TSyncType sync, TExceptPhase phase) {
  std::lock_guard<std::mutex> hold(lock_);
  ListOf(lists_.exception, form).push_back({key, sync, phase, std::move(handler)});
}

void THandlerRegistry::RegisterActionHandler(const void* key, TExceptActionEvent handler, THandlerForm form,
                                             TSyncType sync) {
  std::lock_guard<std::mutex> hold(lock_);
  ListOf(lists_.action, form).push_back({key, sync, epNotHandledYet, std::move(handler)});
}

void THandlerRegistry::RegisterHiddenHandler(const void* key, TExceptEvent handler, THandlerForm form,
                                             TSyncType sync) {
  std::lock_guard<std::mutex> hold(lock_);
  ListOf(lists_.hidden, form).push_back({key, sync, epNotHandledYet, std::move(handler)});
}

void THandlerRegistry::UnregisterExceptionHandler(const void* key, THandlerForm form) {
  std::lock_guard<std::mutex> hold(lock_);
  RemoveFirst(lists_.exception, form, key);
}

void THandlerRegistry::UnregisterActionHandler(const void* key, THandlerForm form) {
  std::lock_guard<std::mutex> hold(lock_);
  RemoveFirst(lists_.action, form, key);
}

void THandlerRegistry::UnregisterHiddenHandler(const void* key, THandlerForm form) {
  std::lock_guard<std::mutex> hold(lock_);
  RemoveFirst(lists_.hidden, form, key);
}

THandlerSnapshot THandlerRegistry::Snapshot() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lists_;
}

bool THandlerRegistry::HasHandlers(THandlerEvent event) const {
  std::lock_guard<std::mutex> hold(lock_);
  switch (event) {
    case heException: return !lists_.exception.Empty();
    case heAction: return !lists_.action.Empty();
    case heHidden: return !lists_.hidden.Empty();
  }
  return false;
}

bool THandlerRegistry::HasExceptionHandlers(TExceptPhase phase) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto ofPhase = [phase](const auto& entry) { return entry.phase == phase; };
  return std::any_of(lists_.exception.methods.begin(), lists_.exception.methods.end(), ofPhase) ||
         std::any_of(lists_.exception.procedures.begin(), lists_.exception.procedures.end(), ofPhase);
}

void THandlerRegistry::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  lists_ = {};
}

}  // namespace ruvex
