#include "reporter/core/extensions/PluginRegistry.h"

#include <gtest/gtest.h>

#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;

namespace {

std::vector<std::u16string> Names(const std::vector<TReportPlugin>& plugins) {
  std::vector<std::u16string> names;
  for (const auto& p : plugins) names.push_back(p.name + (p.ownSection ? u"+" : u""));
  return names;
}

}  // namespace

TEST(PluginRegistry, SameNameTwiceRemovesOnlyTheFirstAndExactly) {
  TPluginRegistry registry;
  registry.AddReportPlugin(u"modules", u"list of loaded modules", TBugReportPluginW([] { return u"1"; }), true);
  registry.AddReportPlugin(u"modules", u"second", TBugReportPluginW([] { return u"2"; }), false);
  registry.RemoveReportPlugin(u"Modules");
  EXPECT_EQ(registry.Plugins().size(), 2u) << "names are matched case-sensitively";
  registry.RemoveReportPlugin(u"modules");
  ASSERT_EQ(registry.Plugins().size(), 1u);
  EXPECT_EQ(registry.Plugins()[0].description, u"second");
}

TEST(PluginRegistry, ReportOrderFollowsTheSettingCaseInsensitively) {
  TPluginRegistry registry;
  for (const char16_t* name : {u"modules", u"processes", u"hardware"})
    registry.AddReportPlugin(name, u"", TBugReportPluginW([] { return u""; }), true);
  registry.AddReportPlugin(u"license", u"", TBugReportPluginW([] { return u""; }), false);
  EXPECT_EQ(Names(registry.InReportOrder(u"Hardware|license|unknown|modules")),
            (std::vector<std::u16string>{u"hardware+", u"license", u"modules+"}));
  EXPECT_TRUE(registry.InReportOrder(u"").empty());
}

TEST(PluginRegistry, CallsEveryKindAndGuardsFaults) {
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
  TExceptionData data;
  data.classChain = {u"EConvertError"};
  TIREException exception(env, nullptr, data, fake.services);

  struct TCase {
    TBugReportPlugin callback;
    std::optional<std::u16string> text;
  } cases[] = {
      {TBugReportPluginA([] { return std::string("caf\xe9"); }), u"caf\u00e9"},
      {TBugReportPluginW([] { return u"wide"; }), u"wide"},
      {TBugReportPluginExA([](IREException& e) { return std::string(e.GetExceptClass().size(), 'x'); }),
       u"xxxxxxxxxxxxx"},
      {TBugReportPluginExW([](IREException& e) { return e.GetExceptClass(); }), u"EConvertError"},
      {TBugReportPluginW([]() -> std::u16string { throw std::runtime_error("plug-in fault"); }), std::nullopt},
      {TBugReportPluginW(), std::nullopt},  // registered without a routine
  };
  for (const auto& c : cases) EXPECT_EQ(CallReportPlugin({u"p", u"", c.callback, false}, exception), c.text);
}
