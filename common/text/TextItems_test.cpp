#include "common/text/TextItems.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(TextItems, SplitsAtEverySeparator) {
  EXPECT_EQ(SplitItems(u"", u'|'), std::vector<std::u16string>{});
  EXPECT_EQ(SplitItems(u"a|b||c", u'|'), (std::vector<std::u16string>{u"a", u"b", u"", u"c"}));
  EXPECT_EQ(SplitItems(u"|", u'|'), (std::vector<std::u16string>{u"", u""}));
}

}  // namespace
}  // namespace kelvane
