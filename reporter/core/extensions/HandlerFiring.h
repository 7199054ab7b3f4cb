#pragma once
// Firing the handler lists for an exception: a pass in the calling thread,
// then, for handlers that want the main thread, a synchronised pass there
// (after a 1.5 s probe), or a sync-failed pass here when it cannot be
// reached; for send, save and print, the action's assistant in between.
#include <chrono>
#include <functional>
#include <string_view>

#include "reporter/core/extensions/AssistantResults.h"
#include "reporter/core/extensions/HandlerPass.h"
#include "reporter/core/flow/FlowServices.h"

namespace ruvex {

inline constexpr std::chrono::milliseconds kMainThreadProbeTimeout{1500};
// Long enough for any handler, but a main thread that never comes back
// must not hold the handling thread for ever: then the call counts as failed.
inline constexpr std::chrono::milliseconds kSynchronisedCallTimeout{std::chrono::minutes(10)};

// The reporter's message window in the main thread. The Windows half sends
// the firing message (answered 777) and holds back the main thread's own
// exceptions while a synchronised pass runs there.
class IMainThreadChannel {
 public:
  virtual ~IMainThreadChannel() = default;
  virtual bool MessageWindowExists() const = 0;
  // A paused main thread is let go for the call; true when it was paused.
  virtual bool ResumeIfPaused() = 0;
  virtual void PauseAgain() = 0;
  // The firing message without a record; false when not answered in time.
  virtual bool Probe(std::chrono::milliseconds timeout) = 0;
  // The firing message with a record: the main thread runs `pass`. False
  // when it did not answer in time.
  virtual bool CallSynchronised(const std::function<void()>& pass, std::chrono::milliseconds timeout) = 0;
};

enum class TAssistantEnd { ok, cancelled };

// Shows an assistant modally over the parent (a topmost parent is made
// non-topmost meanwhile) and keeps the form contents in the form cache.
class IAssistantRunner {
 public:
  virtual ~IAssistantRunner() = default;
  virtual TAssistantEnd Run(IREException& exceptIntf, const TAssistantSpec& assistant, TWindowHandle parent,
                            std::vector<TAssistantFormResult>& results) = 0;
};

class THandlerFiring : public IHandlerFiring {
 public:
  THandlerFiring(THandlerRegistry& registry, IMainThreadChannel& mainThread, IAssistantRunner* assistants = nullptr)
      : registry_(registry), mainThread_(mainThread), assistants_(assistants) {}

  // Returns the handled flag.
  bool FireHandlerEvent(TWindowHandle parent, THandlerEvent event, TExceptAction action, bool handled,
                        IREException& exceptIntf);

  void FireExceptionHandlers(IREException& exceptIntf, bool& handled) override;
  void FireActionHandlers(IREException& exceptIntf, TExceptAction action, TWindowHandle parent,
                          bool& handled) override;
  void FireHiddenHandlers(IREException& exceptIntf, bool& handled) override;
  bool HasHiddenHandlers() const override { return registry_.HasHandlers(heHidden); }
  bool HasExceptionHandlers(TExceptPhase phase) const override { return registry_.HasExceptionHandlers(phase); }

 private:
  void WaitForCompleteReport(TExceptAction action, IREException& exceptIntf);
  bool FirePasses(THandlerEvent event, TExceptAction action, bool handled, IREException& exceptIntf);
  // The main-thread pass; false when the main thread could not be reached.
  bool RunInMainThread(const THandlerSnapshot& lists, TPassRecord& record);
  // The action's assistant; true when it was cancelled (the action is then handled).
  bool RunActionAssistant(TWindowHandle parent, TExceptAction action, IREException& exceptIntf);

  THandlerRegistry& registry_;
  IMainThreadChannel& mainThread_;
  IAssistantRunner* assistants_;
};

}  // namespace ruvex
