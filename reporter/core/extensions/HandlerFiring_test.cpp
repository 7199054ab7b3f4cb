#include "reporter/core/extensions/HandlerFiring.h"

#include <gtest/gtest.h>

#include <string>

#include "reporter/core/extensions/FakeMainThread.h"
#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;
using namespace std::chrono_literals;

namespace {

constexpr ModuleHandle kExe{0x400000};

class FiringTest : public ::testing::Test {
 protected:
  FiringTest() {
    host.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
    // One assistant, named for the send action.
    TREProperty assistant, sendAssis;
    assistant.name = "Assistant1";
    assistant.vStr = std::make_shared<const std::u16string>(u"SendAssistant|Send|ContactForm");
    sendAssis.name = "SendAssis";
    sendAssis.vStr = std::make_shared<const std::u16string>(u"SendAssistant");
    host.modules[kExe].block = *WriteSettingsBlock({assistant, sendAssis});
    env.SetMainSettings(RESettings(env, kExe));
    TExceptionData data;
    data.classChain = {u"EConvertError"};
    exception = std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
  }
  // A handler that logs its name (and the thread it ran in) and may set handled.
  TExceptEvent Logger(std::string name, bool setsHandled = false) {
    return [this, name, setsHandled](IREException&, bool& handled) {
      log.push_back(name);
      threads.push_back(std::this_thread::get_id());
      if (setsHandled) handled = true;
    };
  }
  TExceptActionEvent ActionLogger(std::string name, bool setsHandled = false) {
    return [this, name, setsHandled](TExceptAction action, IREException&, bool& handled) {
      log.push_back(name + ":" + std::to_string(action));
      if (setsHandled) handled = true;
    };
  }
  bool Fire(TExceptPhase phase) {
    bool handled = false;
    exception->SetPhase(phase);
    firing.FireExceptionHandlers(*exception, handled);
    return handled;
  }

  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
  std::shared_ptr<TIREException> exception;
  THandlerRegistry registry;
  TFakeMainThread mainThread;
  THandlerFiring firing{registry, mainThread};
  std::vector<std::string> log;
  std::vector<std::thread::id> threads;
  int keys[16] = {};
};

}  // namespace

TEST_F(FiringTest, OrderAndStopRulesOfExceptionHandlers) {
  // Registered: procedure p1, method m1, method m2 (handles), procedure p2, in each phase.
  for (TExceptPhase phase : {epMainPhase, epPostProcessing}) {
    registry.RegisterExceptionHandler(&keys[0], Logger("p1"), THandlerForm::procedure, stDontSync, phase);
    registry.RegisterExceptionHandler(&keys[1], Logger("m1"), THandlerForm::method, stDontSync, phase);
    registry.RegisterExceptionHandler(&keys[2], Logger("m2", true), THandlerForm::method, stDontSync, phase);
    registry.RegisterExceptionHandler(&keys[3], Logger("m3"), THandlerForm::method, stDontSync, phase);
  }
  registry.RegisterExceptionHandler(&keys[4], Logger("quick"), THandlerForm::procedure, stDontSync, epQuickFiltering);
  struct TCase {
    TExceptPhase phase;
    std::vector<std::string> calls;
    bool handled;
  } cases[] = {
      {epQuickFiltering, {"quick"}, false},
      {epMainPhase, {"m1", "m2"}, true},              // m2 stops its list; procedures are skipped
      {epPostProcessing, {"m1", "m2", "m3"}, true},   // after the main phase, every method is called
      {epCompleteReport, {}, false},
  };
  for (const auto& c : cases) {
    log.clear();
    EXPECT_EQ(Fire(c.phase), c.handled) << "phase " << int(c.phase);
    EXPECT_EQ(log, c.calls) << "phase " << int(c.phase);
  }
}

TEST_F(FiringTest, ActionAndHiddenHandlers) {
  registry.RegisterActionHandler(&keys[0], ActionLogger("p1"), THandlerForm::procedure, stDontSync);
  registry.RegisterActionHandler(&keys[1], ActionLogger("m1"), THandlerForm::method, stDontSync);
  registry.RegisterHiddenHandler(&keys[2], Logger("hp", true), THandlerForm::procedure, stDontSync);
  registry.RegisterHiddenHandler(&keys[3], Logger("hm", true), THandlerForm::method, stDontSync);
  registry.RegisterHiddenHandler(&keys[4], Logger("hm2"), THandlerForm::method, stDontSync);

  bool handled = false;
  firing.FireActionHandlers(*exception, eaSaveBugReport, TWindowHandle{}, handled);
  EXPECT_EQ(log, (std::vector<std::string>{"m1:1", "p1:1"}));
  EXPECT_FALSE(handled);

  log.clear();
  handled = true;
  firing.FireHiddenHandlers(*exception, handled);
  EXPECT_EQ(log, (std::vector<std::string>{"hm", "hm2", "hp"})) << "all of them, whatever they answer";
}

TEST_F(FiringTest, AThrowingHandlerIsSkippedAndUnregisteringWorksOnTheNextFiring) {
  registry.RegisterExceptionHandler(&keys[0], [](IREException&, bool&) { throw 42; }, THandlerForm::method, stDontSync,
                                    epMainPhase);
  registry.RegisterExceptionHandler(&keys[1], Logger("after"), THandlerForm::method, stDontSync, epMainPhase);
  registry.RegisterExceptionHandler(&keys[1], Logger("twice"), THandlerForm::method, stDontSync, epMainPhase);
  Fire(epMainPhase);
  EXPECT_EQ(log, (std::vector<std::string>{"after", "twice"}));
  registry.UnregisterExceptionHandler(&keys[1], THandlerForm::method);
  log.clear();
  Fire(epMainPhase);
  EXPECT_EQ(log, std::vector<std::string>{"twice"}) << "only the first entry of the key went";
}

TEST_F(FiringTest, NoHandlersAreCalledWhenTheExceptionSaysSo) {
  registry.RegisterExceptionHandler(&keys[0], Logger("m"), THandlerForm::method, stDontSync, epMainPhase);
  exception->SetCallHandlers(false);
  Fire(epMainPhase);
  EXPECT_TRUE(log.empty());
}

TEST_F(FiringTest, SyncTypes) {
  struct TCase {
    bool mainBlocked;
    bool frozen;
    std::vector<std::string> calls;
    std::chrono::milliseconds waited;
    bool inMainThread;  // the synchronised handlers ran in the main thread
  } cases[] = {
      {false, false, {"dont", "success", "always"}, 0ms, true},
      {true, false, {"dont", "always"}, 1500ms, false},  // probe ran out after 1.5 s
      {false, true, {"dont", "always"}, 0ms, false},     // a freeze: the main thread counts as unreachable
  };
  registry.RegisterExceptionHandler(&keys[0], Logger("dont"), THandlerForm::method, stDontSync, epMainPhase);
  registry.RegisterExceptionHandler(&keys[1], Logger("success"), THandlerForm::method, stTrySyncCallOnSuccess,
                                    epMainPhase);
  registry.RegisterExceptionHandler(&keys[2], Logger("always"), THandlerForm::method, stTrySyncCallAlways,
                                    epMainPhase);
  for (const auto& c : cases) {
    log.clear();
    threads.clear();
    mainThread.blocked = c.mainBlocked;
    mainThread.clock = 0ms;
    TExceptionData data;
    data.type = c.frozen ? etFrozen : etNormal;
    exception = std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
    Fire(epMainPhase);
    EXPECT_EQ(log, c.calls) << "blocked " << c.mainBlocked << " frozen " << c.frozen;
    EXPECT_EQ(mainThread.clock, c.waited);
    ASSERT_EQ(threads.size(), c.calls.size());
    EXPECT_EQ(threads.front(), std::this_thread::get_id()) << "stDontSync runs in the handling thread";
    EXPECT_EQ(threads.back() == mainThread.passThread, c.inMainThread);
    EXPECT_EQ(threads.back() == std::this_thread::get_id(), !c.inMainThread);
  }
}

TEST_F(FiringTest, AMainThreadThatNeverAnswersTheCallCountsAsSyncFailed) {
  registry.RegisterActionHandler(&keys[0], ActionLogger("always"), THandlerForm::method, stTrySyncCallAlways);
  // Answers the probe, then hangs in the call.
  struct THangingMain : TFakeMainThread {
    bool CallSynchronised(const std::function<void()>&, std::chrono::milliseconds timeout) override {
      clock += timeout;
      return false;
    }
  } hanging;
  hanging.paused = true;
  THandlerFiring hangingFiring{registry, hanging};
  bool handled = false;
  hangingFiring.FireActionHandlers(*exception, eaHelp, TWindowHandle{}, handled);
  EXPECT_EQ(log, std::vector<std::string>{"always:10"});
  EXPECT_EQ(hanging.clock, kSynchronisedCallTimeout);
  EXPECT_EQ(hanging.resumes, 1);
  EXPECT_EQ(hanging.pausesAgain, 1) << "a paused main thread is paused again";
}

TEST_F(FiringTest, WithoutMessageWindowSynchronisedHandlersWaitForNothing) {
  mainThread.windowExists = false;
  registry.RegisterExceptionHandler(&keys[0], Logger("always"), THandlerForm::method, stTrySyncCallAlways,
                                    epMainPhase);
  Fire(epMainPhase);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(mainThread.probes, 0);
}

namespace {

class TFakeAssistants : public IAssistantRunner {
 public:
  TAssistantEnd end = TAssistantEnd::ok;
  std::vector<TAssistantFormResult> results;
  std::vector<std::u16string> shown;
  TAssistantEnd Run(IREException&, const TAssistantSpec& assistant, TWindowHandle,
                    std::vector<TAssistantFormResult>& out) override {
    shown.push_back(assistant.name);
    out = results;
    return end;
  }
};

}  // namespace

TEST_F(FiringTest, SendAssistantBetweenTheActionAndItsSecondAnnouncement) {
  ASSERT_TRUE(exception->GetAssistant(u"SendAssistant").has_value()) << "fixture: the assistant exists";

  registry.RegisterActionHandler(&keys[0], ActionLogger("a"), THandlerForm::method, stDontSync);
  TFakeAssistants runner;
  runner.results = {{true, {{true, u"reproducible", u"", true, false}, {false, u"steps", u"one\r\ntwo", false, true}}}};
  THandlerFiring assisted{registry, mainThread, &runner};
  const TWindowHandle box{0x1234};

  bool handled = false;
  assisted.FireActionHandlers(*exception, eaSendBugReport, box, handled);
  EXPECT_FALSE(handled);
  EXPECT_EQ(log, (std::vector<std::string>{"a:0", "a:3"}));
  EXPECT_EQ(exception->GetBugReportHeader()->GetContent(u"reproducible"), u"yes");
  EXPECT_EQ(exception->GetBugReportSections()->GetContent(u"steps"), u"one\r\ntwo");

  log.clear();
  runner.end = TAssistantEnd::cancelled;
  handled = false;
  assisted.FireActionHandlers(*exception, eaSendBugReport, box, handled);
  EXPECT_TRUE(handled) << "a cancelled assistant stops the send";
  EXPECT_EQ(log, std::vector<std::string>{"a:0"});

  log.clear();
  handled = false;
  assisted.FireActionHandlers(*exception, eaSendBugReport, TWindowHandle{}, handled);
  EXPECT_EQ(log, std::vector<std::string>{"a:0"}) << "no parent window, no assistant and no second announcement";
}

TEST_F(FiringTest, CancelledSendThroughTheUserActionSendsNothing) {
  TFakeAssistants runner;
  runner.end = TAssistantEnd::cancelled;
  THandlerFiring assisted{registry, mainThread, &runner};
  TFlowServices services{assisted, fake.actions, fake.process, fake.history, [] { return 1u; }, {}};
  auto e = std::make_shared<TIREException>(env, env.MainSettings(), TExceptionData{}, services);
  fake.actions.answers["send"] = TActionResult::done;
  EXPECT_FALSE(e->SendBugReport(TWindowHandle{0x99}));
  EXPECT_TRUE(fake.actions.calls.empty());
  EXPECT_FALSE(e->GetMailWasSent());
}

TEST_F(FiringTest, CloseAndRestartWaitForTheReportACriticalCallbackNeeds) {
  bool completeWhenCalled = false;
  registry.RegisterActionHandler(
      &keys[0], [&](TExceptAction, IREException&, bool&) { completeWhenCalled = exception->IsComplete(); },
      THandlerForm::method, stDontSync);
  const int callbackKey = 0;
  exception->RegisterBugReportCallback(&callbackKey, [](bool, const std::u16string&, IREException&) {}, true);
  std::thread completion([this] {
    std::this_thread::sleep_for(20ms);
    exception->MarkComplete();
  });
  bool handled = false;
  firing.FireActionHandlers(*exception, eaCloseApplication, TWindowHandle{}, handled);
  completion.join();
  EXPECT_TRUE(completeWhenCalled);
}
