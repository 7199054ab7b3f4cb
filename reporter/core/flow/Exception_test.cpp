#include "reporter/core/flow/Exception.h"

#include <gtest/gtest.h>

#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;

namespace {

constexpr ModuleHandle kExe{0x400000};

class ExceptionTest : public ::testing::Test {
 protected:
  ExceptionTest() {
    TREProperty autoRestart;
    autoRestart.name = "AutoRestart";
    autoRestart.typ = ptInteger;
    autoRestart.vInt = 60;
    host.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
    host.modules[kExe].block = *WriteSettingsBlock({autoRestart});
    env.SetMainSettings(RESettings(env, kExe));
  }
  std::shared_ptr<TIREException> Make(TExceptionData data = {}) {
    return std::make_shared<TIREException>(env, env.MainSettings(), data, fake.services);
  }
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
};

}  // namespace

TEST(ExceptionTexts, ShownMessage) {
  struct TCase {
    std::u16string_view message, shown;
  } cases[] = {{u"Disk full!!", u"Disk full."}, {u"Disk full.", u"Disk full."}, {u"", u"."},
               {u"Stop.!.", u"Stop."},         {u"a.b", u"a.b."}};
  for (const auto& c : cases) EXPECT_EQ(ShownExceptMessage(c.message), c.shown);
}

TEST(ExceptionTexts, ShownClassAndAbortTest) {
  EXPECT_EQ(ShownExceptClass(etFrozen, {u"EAccessViolation"}), u"EFrozen");
  EXPECT_EQ(ShownExceptClass(etNormal, {}), u"Unknown");
  EXPECT_EQ(ShownExceptClass(etNormal, {u"EConvertError", u"Exception"}), u"EConvertError");
  EXPECT_TRUE(IsAbortException({u"EMyAbort", u"EAbort", u"Exception"}));
  EXPECT_FALSE(IsAbortException({u"EAbortive", u"Exception"}));
}

TEST_F(ExceptionTest, PropertiesReadPrivateThenModuleThenDefaults) {
  auto e = Make();
  IREException& intf = *e;
  EXPECT_EQ(intf.GetAutoRestart(), 60) << "the module's own value";
  EXPECT_FALSE(intf.GetAutoSend()) << "the default";
  intf.SetAutoRestart(5);
  intf.SetAutoSend(true);
  EXPECT_EQ(intf.GetAutoRestart(), 5);
  EXPECT_TRUE(intf.GetAutoSend());
  EXPECT_EQ(env.MainSettings()->GetAutoRestart(), 60) << "the module's settings stay as they were";
  EXPECT_FALSE(env.MainSettings()->GetAutoSend());
  EXPECT_TRUE(e->IsValid());
}

TEST_F(ExceptionTest, FrozenShowsTheFreezeMessage) {
  TExceptionData data;
  data.type = etFrozen;
  data.message = u"ignored";
  auto e = Make(data);
  EXPECT_EQ(e->GetExceptClass(), u"EFrozen");
  EXPECT_EQ(e->GetExceptMessage(), e->GetPropStr("FrozenMsg"));
}

TEST_F(ExceptionTest, CallbacksAreCalledOnRegistrationAndOnChangesAndReRegistrationOnlyUpdatesCritical) {
  auto e = Make();
  std::vector<std::pair<bool, std::u16string>> calls;
  auto callback = [&calls](bool complete, const std::u16string& report, IREException&) {
    calls.emplace_back(complete, report);
  };
  const int key = 0;
  e->RegisterBugReportCallback(&key, callback, false);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_FALSE(e->CriticalBugReportCallbackExists());

  e->RegisterBugReportCallback(&key, callback, true);
  EXPECT_EQ(calls.size(), 1u) << "not called again";
  EXPECT_TRUE(e->CriticalBugReportCallbackExists());

  e->GetBugReportHeader()->SetContent(u"executable", u"Kelvane.exe");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls.back().second, u"executable : Kelvane.exe");
  e->MarkComplete();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls.back().first);

  e->UnregisterBugReportCallback(&key);
  e->GetBugReportHeader()->SetContent(u"executable", u"Other.exe");
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_FALSE(e->CriticalBugReportCallbackExists());
}

TEST_F(ExceptionTest, ReportCacheFollowsChangesAndSetBugReport) {
  auto e = Make();
  e->GetBugReportSections()->SetContent(u"main thread:", u"a\n\nb");
  EXPECT_EQ(e->GetBugReport(false, 0), u"\r\n\r\nmain thread:\r\na\r\n.\r\nb");
  e->SetBugReport(u"replaced");
  EXPECT_EQ(e->GetBugReport(false, 0), u"replaced");
  e->GetBugReportHeader()->SetContent(u"x", u"1");
  EXPECT_EQ(e->GetBugReport(false, 0).substr(0, 5), u"x : 1");
}

TEST_F(ExceptionTest, WaitingForTheCompleteReportIsBounded) {
  auto e = Make();
  EXPECT_FALSE(e->WaitComplete(20));
  e->MarkComplete();
  EXPECT_TRUE(e->WaitComplete(-1));
}

TEST_F(ExceptionTest, FirstTimeTestsSucceedOnce) {
  auto e = Make();
  EXPECT_TRUE(e->FirstAutoSave());
  EXPECT_FALSE(e->FirstAutoSave());
  EXPECT_TRUE(e->FirstCompleteCallback());
  EXPECT_FALSE(e->FirstCompleteCallback());
}
