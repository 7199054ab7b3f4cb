#include "reporter/plugins/registration/InventoryPlugins.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(InventoryPlugins, RegisteredInOrderEachInItsOwnSection) {
  const auto& plugins = InventoryPlugins();
  EXPECT_EQ(std::u16string(plugins[0].name), u"hardware");
  EXPECT_EQ(std::u16string(plugins[1].description), u"list of running processes");
  EXPECT_EQ(std::u16string(plugins[2].name), u"modules");
  for (const auto& plugin : plugins) {
    EXPECT_TRUE(plugin.ownSection);
    // Off Windows every list is empty; under wine each is a block of text.
    const std::u16string text = plugin.callback();
    EXPECT_FALSE(text.starts_with(u"\r\n") || text.ends_with(u"\r\n"));
  }
}
