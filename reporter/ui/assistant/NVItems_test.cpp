#include "reporter/ui/assistant/NVItems.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(NVItems, BooleansAndIntegers) {
  for (auto yes : {u"yes", u"YES", u"True", u"1"}) EXPECT_TRUE(NVBoolean(yes)) << int(yes[0]);
  for (auto no : {u"", u"no", u"0", u"2", u"on", u"yess"}) EXPECT_FALSE(NVBoolean(no));
  EXPECT_EQ(NVInteger(u"-300"), -300);
  EXPECT_EQ(NVInteger(u"2147483647"), 2147483647);
  EXPECT_EQ(NVInteger(u"99999999999999999999"), 0);
  EXPECT_EQ(NVInteger(u"12px"), 0);
  EXPECT_EQ(NVInteger(u"-"), 0);
}

TEST(NVItems, CommonAndOwnProperties) {
  TNVEdit edit(nullptr, u"E");
  edit.SetProperty(u"OutputType", u"otOwnSection");
  edit.SetProperty(u"outputname", u"notes");
  edit.SetProperty(u"Text", u"a%lf%%lf%b%lf");
  edit.SetProperty(u"Valid", u"false");
  edit.SetProperty(u"Unheard", u"x");
  EXPECT_EQ(edit.FOutputType, otOwnSection);
  EXPECT_EQ(edit.FOutputName, u"notes");
  EXPECT_EQ(edit.FText, u"a\r\n\r\nb%lf");
  EXPECT_TRUE(edit.FNValid);
  edit.SetProperty(u"OutputType", u"otHeader");
  EXPECT_EQ(edit.FOutputType, otHeader);

  TNVButton button(nullptr, u"B");
  button.SetProperty(u"Visible", u"0");
  button.SetProperty(u"Enabled", u"no");
  EXPECT_TRUE(button.FInvisible);
  EXPECT_FALSE(button.FEnabled);
  EXPECT_FALSE(button.CanFocus());
}
