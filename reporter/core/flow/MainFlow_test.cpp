#include "reporter/core/flow/MainFlow.h"

#include <gtest/gtest.h>

#include <thread>

#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;

namespace {

constexpr ModuleHandle kExe{0x400000};

TREProperty Bool(const char* name, bool v) {
  TREProperty p;
  p.name = name;
  p.typ = ptBoolean;
  p.vBool = v;
  return p;
}
TREProperty Int(const char* name, int v) {
  TREProperty p;
  p.name = name;
  p.typ = ptInteger;
  p.vInt = v;
  return p;
}
TREProperty Str(const char* name, std::u16string v) {
  TREProperty p;
  p.name = name;
  p.vStr = std::make_shared<const std::u16string>(std::move(v));
  return p;
}

class MainFlowTest : public ::testing::Test {
 protected:
  // The executable's settings block: enabled plus `props`.
  void Configure(std::vector<TREProperty> props) {
    props.push_back(Bool("Enabled", true));
    host.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
    host.modules[kExe].block = *WriteSettingsBlock(props);
    env.SetMainSettings(RESettings(env, kExe));
  }
  std::shared_ptr<TIREException> Exception(bool canContinue = true, TExceptType type = etNormal) {
    TExceptionData data;
    data.type = type;
    data.exceptObject = 0x1234;
    data.classChain = {u"EAccessViolation", u"EExternal", u"Exception"};
    data.message = u"Access violation";
    data.canContinue = canContinue;
    return std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
  }
  // Ten exceptions in the last `spacing * 9` seconds, this one not yet included.
  void PastExceptions(int count, std::uint64_t spacing) {
    for (int i = count; i >= 1; --i) fake.history.Record(fake.clock - static_cast<std::uint64_t>(i) * spacing);
  }

  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
};

using TFired = TFakeHandlerFiring::TFired;

}  // namespace

TEST_F(MainFlowTest, PhasesInOrderThenAutomaticContinue) {
  Configure({Int("GnShowCfg", ssNothing)});
  auto e = Exception();
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::continued);
  std::vector<TFired> expected{{0, epQuickFiltering, eaHelp},
                               {0, epMainPhase, eaHelp},
                               {0, epPostProcessing, eaHelp},
                               {1, epPostProcessing, eaContinueApplication}};
  EXPECT_EQ(fake.firing.fired, expected);
  EXPECT_EQ(fake.history.Times()[0], fake.clock);
  EXPECT_TRUE(fake.process.exitCodes.empty());
}

TEST_F(MainFlowTest, MainPhaseHandlerStopsPostProcessingAndTheBox) {
  Configure({});
  fake.firing.handlesPhase[epMainPhase] = true;
  auto e = Exception();
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::handled);
  ASSERT_EQ(fake.firing.fired.size(), 2u);
  EXPECT_EQ(fake.firing.fired.back().phase, epMainPhase);
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "show"), 0);
}

TEST_F(MainFlowTest, HiddenExceptionFiresOnlyHiddenHandlersAndShowsNothing) {
  Configure({});
  auto e = Exception(true, etHidden);
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::handled);
  std::vector<TFired> expected{{2, epQuickFiltering, eaHelp}};
  EXPECT_EQ(fake.firing.fired, expected);
  EXPECT_TRUE(fake.actions.calls.empty());
  EXPECT_EQ(fake.history.Times()[0], 0u) << "hidden exceptions stay out of the history";
}

TEST_F(MainFlowTest, AutoRestartRuleAgainstTheHistory) {
  struct TCase {
    int pastExceptions;
    TFlowOutcome outcome;
    std::vector<std::uint32_t> exitCodes;
  } cases[] = {{2, TFlowOutcome::continued, {}}, {9, TFlowOutcome::restarted, {2}}};
  for (const auto& c : cases) {
    fake.firing = {};
    fake.actions = {};
    fake.process = {};
    fake.history = {};
    Configure({Int("GnShowCfg", ssNothing), Int("AutoRestart", 120)});
    PastExceptions(c.pastExceptions, 10);
    auto e = Exception();
    EXPECT_EQ(RunMainFlow(*e), c.outcome) << c.pastExceptions << " earlier exceptions";
    EXPECT_EQ(fake.process.exitCodes, c.exitCodes);
    if (c.outcome == TFlowOutcome::restarted) {
      EXPECT_EQ(fake.process.startedSuccessors, std::vector<std::u16string>{fake.process.commandLine});
      EXPECT_EQ(fake.process.handedOverHistory, fake.history.Times());
      EXPECT_EQ(fake.firing.Actions(), std::vector<TExceptAction>{eaRestartApplication});
    }
  }
}

TEST_F(MainFlowTest, RestartWithoutSuccessorClosesWithExitCodeOne) {
  Configure({Int("GnShowCfg", ssNothing), Int("AutoRestart", 1)});
  fake.process.successorStarts = false;
  auto e = Exception(false);
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::closed);
  EXPECT_EQ(fake.process.exitCodes, std::vector<std::uint32_t>{1});
}

TEST_F(MainFlowTest, CannotContinueClosesAfterTheAutomaticSave) {
  Configure({Int("GnShowCfg", ssNothing), Bool("AutoSave", true), Bool("AutoClip", false)});
  fake.actions.answers["report"] = TActionResult::done;
  fake.actions.answers["autosave"] = TActionResult::done;
  auto e = Exception(false);
  e->GetBugReportHeader()->SetContent(u"exception class", u"EAccessViolation");
  e->MarkComplete();
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::closed);
  EXPECT_EQ(fake.process.exitCodes, std::vector<std::uint32_t>{1});
  EXPECT_EQ(fake.firing.Actions(), (std::vector<TExceptAction>{eaCloseApplication, eaSaveBugReport, eaSaveBugReport3}));
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "autosave"), 1)
      << "saved once although the finishing step runs twice";
  EXPECT_TRUE(e->GetMailWasSaved());
}

TEST_F(MainFlowTest, ActionsNotBuiltAreNeverAnnouncedAsDone) {
  Configure({Int("GnShowCfg", ssNothing), Bool("AutoSave", true), Bool("AutoSend", true), Bool("AutoClip", false)});
  auto e = Exception();
  e->GetBugReportHeader()->SetContent(u"exception class", u"EAccessViolation");
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::continued);
  EXPECT_EQ(fake.firing.Actions(), (std::vector<TExceptAction>{eaSendBugReport, eaContinueApplication, eaSaveBugReport}));
  EXPECT_FALSE(e->GetMailWasSent());
  EXPECT_FALSE(e->GetMailWasSaved());
}

TEST_F(MainFlowTest, AutoSendOnceCompleteThenNoSaveOfAReportAlreadySent) {
  Configure({Int("GnShowCfg", ssNothing), Bool("AutoSend", true)});  // AutoSave, AutoSaveIfNotSent, AutoClip: on
  fake.actions.answers["report"] = TActionResult::done;
  fake.actions.answers["send"] = TActionResult::done;
  auto e = Exception();
  e->GetBugReportHeader()->SetContent(u"exception class", u"EAccessViolation");
  // The completion thread: the flow waits for it before it saves.
  std::thread completion([e] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    e->MarkComplete();
  });
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::continued);
  completion.join();
  e->GetBugReportHeader()->SetContent(u"late", u"field");
  EXPECT_EQ(fake.firing.Actions(),
            (std::vector<TExceptAction>{eaContinueApplication, eaSendBugReport, eaSendBugReport3}));
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "send"), 1) << "only the first time";
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "clip"), 1) << "acts on the first complete report only";
  EXPECT_TRUE(e->GetMailWasSent());
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "autosave"), 0)
      << "AutoSaveIfNotSent: sent, so not saved";
}

TEST_F(MainFlowTest, TheBoxDecidesWhenShownAndTheExceptionCanContinue) {
  Configure({});
  fake.actions.answers["show"] = TActionResult::done;
  fake.actions.onShow = [](IREException& e) { e.CloseApplication(); };
  auto e = Exception();
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::decidedInBox);
  EXPECT_EQ(fake.process.exitCodes, std::vector<std::uint32_t>{1});
  EXPECT_EQ(fake.firing.Actions(), std::vector<TExceptAction>{eaCloseApplication});
}

TEST_F(MainFlowTest, ABoxThatCouldNotBeShownLeavesTheAutomaticDecision) {
  Configure({Int("AutoClose", 1)});
  auto e = Exception();
  EXPECT_EQ(RunMainFlow(*e), TFlowOutcome::closed);
  EXPECT_EQ(fake.process.exitCodes, std::vector<std::uint32_t>{1});
}

TEST_F(MainFlowTest, UserRestartVetoedByAHandlerStaysInTheBox) {
  Configure({});
  fake.firing.handlesAction[eaRestartApplication] = true;
  auto e = Exception();
  EXPECT_FALSE(e->RestartApplication());
  EXPECT_TRUE(fake.process.exitCodes.empty());
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "closebox"), 0);
}

TEST_F(MainFlowTest, FilterChoosesTheFlagsAndPausesThreads) {
  Configure({Str("F1Classes", u"EFoo , EExternal"), Bool("F1NoBugRep", true), Int("F1ShowCfg", ssNothing),
             Bool("PauseThreads", true), Str("F1Assis", u"SendAssistant")});
  fake.actions.answers["pause"] = TActionResult::done;
  auto e = Exception();
  RunMainFlow(*e);
  EXPECT_FALSE(e->GetCreateBugReport());
  EXPECT_EQ(e->GetShowSetting(), ssNothing);
  EXPECT_EQ(e->GetShowAssistant(), u"SendAssistant");
  EXPECT_TRUE(e->IsComplete()) << "a report nobody builds does not keep anyone waiting";
  EXPECT_EQ(fake.actions.calls.front(), "pause");
  EXPECT_EQ(fake.actions.calls.back(), "resume");
}

TEST_F(MainFlowTest, WebServiceModeStoresTheReportInTheCallersText) {
  Configure({});
  fake.services.switches.webServiceMode = true;
  std::u16string result;
  TExceptionData data;
  data.classChain = {u"EConvertError"};
  data.resultText = &result;
  auto e = std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
  e->GetBugReportHeader()->SetContent(u"exception class", u"EConvertError");
  RunMainFlow(*e);
  EXPECT_EQ(result, u"exception class : EConvertError");
  EXPECT_EQ(std::count(fake.actions.calls.begin(), fake.actions.calls.end(), "show"), 0);
}
