#pragma once
// The process-wide handler lists: exception, action and hidden-exception
// handlers, each in a procedure and a method-of-object list, every entry
// with its sync type and phase. Firing works on copies, so handlers may
// register or unregister while a pass runs.
#include <functional>
#include <mutex>
#include <vector>

#include "reporter/core/flow/Exception.h"

namespace ruvex {

enum TSyncType : std::uint8_t {
  stDontSync,              // call in the handling thread
  stTrySyncCallOnSuccess,  // call in the main thread; not at all when it cannot be reached
  stTrySyncCallAlways,     // call in the main thread; in the handling thread when it cannot be reached
};

// Event types of the firing, as the design numbers them.
enum THandlerEvent : std::uint8_t { heException = 0, heAction = 1, heHidden = 2 };

// Method handlers are called before procedure handlers.
enum class THandlerForm { method, procedure };

using TExceptEvent = std::function<void(IREException& exceptIntf, bool& handled)>;
using TExceptActionEvent = std::function<void(TExceptAction action, IREException& exceptIntf, bool& handled)>;

// A handler is known by a key (the identity of the registered routine),
// since the callables themselves cannot be compared.
template <class THandler>
struct THandlerEntry {
  const void* key;
  TSyncType sync;
  TExceptPhase phase;  // exception handlers only
  THandler handler;
};

template <class THandler>
struct THandlerLists {
  std::vector<THandlerEntry<THandler>> methods, procedures;
  bool Empty() const { return methods.empty() && procedures.empty(); }
};

struct THandlerSnapshot {
  THandlerLists<TExceptEvent> exception;
  THandlerLists<TExceptActionEvent> action;
  THandlerLists<TExceptEvent> hidden;
};

class THandlerRegistry {
 public:
  void RegisterExceptionHandler(const void* key, TExceptEvent handler, THandlerForm form, TSyncType sync,
                                TExceptPhase phase);
  void RegisterActionHandler(const void* key, TExceptActionEvent handler, THandlerForm form, TSyncType sync);
  void RegisterHiddenHandler(const void* key, TExceptEvent handler, THandlerForm form, TSyncType sync);
  // Each removes the first entry of that key from the chosen list.
  void UnregisterExceptionHandler(const void* key, THandlerForm form);
  void UnregisterActionHandler(const void* key, THandlerForm form);
  void UnregisterHiddenHandler(const void* key, THandlerForm form);
  // Copies taken under the handler lock.
  THandlerSnapshot Snapshot() const;
  bool HasHandlers(THandlerEvent event) const;
  bool HasExceptionHandlers(TExceptPhase phase) const;
  // Drops every list (shut-down).
  void Clear();

 private:
  mutable std::mutex lock_;
  THandlerSnapshot lists_;
};

}  // namespace ruvex
