#pragma once
// In-memory halves of the flow's services for tests: a handler firing that
// records what was fired and runs scripted handlers, actions that record
// their calls and answer as told, and a process that records how it ended.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "reporter/core/flow/Exception.h"
#include "reporter/core/flow/FlowServices.h"

namespace ruvex {

class TFakeHandlerFiring : public IHandlerFiring {
 public:
  struct TFired {
    int eventType;  // 0 exception, 1 action, 2 hidden
    TExceptPhase phase;
    TExceptAction action;
    bool operator==(const TFired&) const = default;
  };
  // Scripted answers: handled by phase (exception handlers) and by action.
  std::map<TExceptPhase, bool> handlesPhase;
  std::map<TExceptAction, bool> handlesAction;
  bool hiddenHandlers = false;
  bool completeReportHandlers = false;
  std::vector<TFired> fired;

  void FireExceptionHandlers(IREException& e, bool& handled) override {
    fired.push_back({0, e.GetPhase(), eaHelp});
    if (handlesPhase[e.GetPhase()]) handled = true;
  }
  void FireActionHandlers(IREException& e, TExceptAction action, TWindowHandle, bool& handled) override {
    fired.push_back({1, e.GetPhase(), action});
    if (handlesAction[action]) handled = true;
  }
  void FireHiddenHandlers(IREException& e, bool&) override { fired.push_back({2, e.GetPhase(), eaHelp}); }
  bool HasHiddenHandlers() const override { return hiddenHandlers; }
  bool HasExceptionHandlers(TExceptPhase phase) const override {
    return phase == epCompleteReport && completeReportHandlers;
  }
  std::vector<TExceptAction> Actions() const {
    std::vector<TExceptAction> out;
    for (const auto& f : fired)
      if (f.eventType == 1) out.push_back(f.action);
    return out;
  }
};

class TFakeReportActions : public IReportActions {
 public:
  // Answers by name ("show", "send", "save", ...); missing: notDone.
  std::map<std::string, TActionResult> answers;
  std::vector<std::string> calls;
  // Runs inside ShowException, as the user's click in the box would.
  std::function<void(IREException&)> onShow;

  TActionResult Answer(const std::string& name) {
    calls.push_back(name);
    auto it = answers.find(name);
    return it == answers.end() ? TActionResult::notDone : it->second;
  }
  TActionResult ShowException(IREException& e) override {
    auto result = Answer("show");
    if (onShow) onShow(e);
    return result;
  }
  TActionResult ShowExceptionAsText(IREException&) override { return Answer("text"); }
  TActionResult TakeScreenShot(IREException&) override { return Answer("screenshot"); }
  TActionResult StartBugReport(IREException&) override { return Answer("report"); }
  TActionResult SendBugReport(IREException&, const TSendOptions&) override { return Answer("send"); }
  TActionResult SaveBugReport(IREException&, bool automatic, TWindowHandle) override {
    return Answer(automatic ? "autosave" : "save");
  }
  TActionResult PrintBugReport(IREException&, TWindowHandle) override { return Answer("print"); }
  TActionResult CopyBugReport(IREException&) override { return Answer("clip"); }
  TActionResult ShowBugReport(IREException&) override { return Answer("showreport"); }
  void CloseBox(IREException&) override { calls.push_back("closebox"); }
  void WaitForBackgroundSend(IREException&) override { calls.push_back("waitsend"); }
  TActionResult PauseThreads(IREException&) override { return Answer("pause"); }
  void ResumeThreads() override { calls.push_back("resume"); }
};

class TFakeProcessControl : public IProcessControl {
 public:
  std::u16string commandLine = u"Kelvane.exe C:\\Projects\\Example.ini";
  bool successorStarts = true;
  std::vector<std::u16string> startedSuccessors;
  THistoryTimes handedOverHistory{};
  std::vector<std::uint32_t> exitCodes;  // every Terminate, in order

  std::u16string CommandLine() const override { return commandLine; }
  bool StartSuccessor(std::u16string_view line, const TExceptionHistory& history) override {
    if (!successorStarts) return false;
    startedSuccessors.emplace_back(line);
    handedOverHistory = history.Times();
    return true;
  }
  void Terminate(std::uint32_t exitCode) override { exitCodes.push_back(exitCode); }
};

// All three fakes with a fixed clock, ready to hand to exception objects.
struct TFakeFlow {
  TFakeHandlerFiring firing;
  TFakeReportActions actions;
  TFakeProcessControl process;
  TExceptionHistory history;
  std::uint64_t clock = 13'000'000'000;  // seconds since 1601
  TFlowServices services{firing, actions, process, history, [this] { return clock; }, {}};
};

}  // namespace ruvex
