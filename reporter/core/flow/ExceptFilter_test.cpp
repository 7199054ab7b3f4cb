#include "reporter/core/flow/ExceptFilter.h"

#include <gtest/gtest.h>

#include "reporter/core/properties/SettingsBlock.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;

TEST(ExceptFilter, ClassNamesMatchTheClassOrAnAncestor) {
  const std::vector<std::u16string> chain{u"EAccessViolation", u"EExternal", u"Exception"};
  struct TCase {
    std::u16string_view names;
    bool matches;
  } cases[] = {
      {u"EAccessViolation", true}, {u"EFoo ,  eexternal ", true}, {u"", false},
      {u",,", false},              {u"EAccess", false},           {u"EFoo,EBar", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassMatchesFilter(c.names, chain), c.matches) << std::string(c.names.begin(), c.names.end());
  EXPECT_FALSE(ClassMatchesFilter(u"Exception", {})) << "no object, no class";
}

TEST(ExceptFilter, FirstFilterWinsAndEachSetReadsItsOwnSwitches) {
  auto str = [](const char* name, std::u16string value) {
    TREProperty p;
    p.name = name;
    p.vStr = std::make_shared<const std::u16string>(std::move(value));
    return p;
  };
  auto boolean = [](const char* name) {
    TREProperty p;
    p.name = name;
    p.typ = ptBoolean;
    p.vBool = true;
    return p;
  };
  TFakeSettingsHost host;
  host.modules[host.executable].block = *WriteSettingsBlock(
      {str("F1Classes", u"EConvertError"), str("F2Classes", u"EConvertError,EExternal"), boolean("F2NoBugRep"),
       boolean("GnNoHandlers"), str("F2Assis", u"Second")});
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  auto settings = RESettings(env, host.executable);

  EXPECT_EQ(ChooseFilter(*settings, {u"EConvertError", u"Exception"}), TFilterSet::filter1);
  EXPECT_EQ(ChooseFilter(*settings, {u"EAccessViolation", u"EExternal"}), TFilterSet::filter2);
  EXPECT_EQ(ChooseFilter(*settings, {u"EOther"}), TFilterSet::general);

  const TFilterChoice second = ApplyFilter(*settings, TFilterSet::filter2);
  EXPECT_FALSE(second.createBugReport);
  EXPECT_TRUE(second.callHandlers);
  EXPECT_EQ(second.assistant, u"Second");
  const TFilterChoice general = ApplyFilter(*settings, TFilterSet::general);
  EXPECT_TRUE(general.createBugReport);
  EXPECT_FALSE(general.callHandlers);
  EXPECT_FALSE(general.createScreenShot) << "ScrShotDepth 0 takes no screen shot";
}
