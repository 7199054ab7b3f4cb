#include "reporter/delivery/dns/DnsServers.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

using TList = std::vector<std::string>;

TEST(DnsServers, ListsAsTheSystemKeepsThem) {
  EXPECT_EQ(SplitServerList("10.0.0.1,10.0.0.2"), (TList{"10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(SplitServerList(" 10.0.0.1 , ,10.0.0.2 "), (TList{"10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(SplitServerList("10.0.0.1  10.0.0.2\t10.0.0.3"), (TList{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
  EXPECT_EQ(SplitServerList(""), TList{});
  EXPECT_EQ(ResolvConfServers("# local\nsearch example.org\nnameserver 10.0.0.1\r\n  nameserver\t10.0.0.2 # x\n"
                              "nameserver\noptions ndots:1\n"),
            (TList{"10.0.0.1", "10.0.0.2"}));
}

}  // namespace
}  // namespace ruvex
