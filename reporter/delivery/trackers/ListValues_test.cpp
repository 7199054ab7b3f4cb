#include "reporter/delivery/trackers/ListValues.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(ListValues, SingleListMatchesOrFallsBackToTheFirstEntry) {
  struct TCase {
    std::u16string value;
    TTextList list, ids;
    bool found;
    std::u16string result;
  };
  const TCase cases[] = {
      {u"p2", {u"P1", u"P2"}, {}, true, u"P2"},
      {u"\u00c4rger", {u"\u00e4rger"}, {}, true, u"\u00e4rger"},  // folded through the code page
      {u"high", {u"low", u"High"}, {u"10", u"30"}, true, u"30"},
      {u"urgent", {u"low", u"high"}, {u"10", u"30"}, false, u"10"},
      {u"urgent", {u"low"}, {}, false, u"low"},
      {u"urgent", {}, {}, false, u"urgent"},
      {u"b", {u"a", u"b"}, {u"1"}, true, u"b"},  // a short id list falls back to the entry
  };
  for (const TCase& c : cases) {
    std::u16string value = c.value;
    EXPECT_EQ(CheckListValue(value, c.list, c.ids), c.found);
    EXPECT_EQ(value, c.result);
  }
}

TEST(ListValues, DoubleListMatchesWithinTheOwner) {
  const TTextList areas{u"General", u"Launcher", u"Reporter", u"General"};
  const TTextList ids{u"1", u"2", u"3", u"4"};
  const TTextList owners{u"Other", u"Kelvane", u"Kelvane", u"Kelvane"};
  struct TCase {
    std::u16string value, owner;
    bool found;
    std::u16string result;
  };
  const TCase cases[] = {
      {u"general", u"Kelvane", true, u"4"},
      {u"Reporter", u"kelvane", true, u"3"},
      {u"Reporter", u"Other", false, u"1"},
      {u"Nothing", u"Kelvane", false, u"2"},
      {u"Nothing", u"Unknown", false, u"Nothing"},
  };
  for (const TCase& c : cases) {
    std::u16string value = c.value;
    EXPECT_EQ(CheckDoubleListValue(value, areas, ids, owners, c.owner), c.found);
    EXPECT_EQ(value, c.result);
  }
}

}  // namespace
}  // namespace ruvex
