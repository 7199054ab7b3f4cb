#include "reporter/delivery/http/client/HttpTarget.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(HttpTarget, SplitsHostPortAndPath) {
  struct TCase {
    const char* text;
    std::uint16_t port;
    bool ssl;
    bool secure;
    const char* host;
    std::uint16_t wantPort;
    const char* path;
  };
  const TCase cases[] = {
      {"bugs.example.org", 0, false, false, "bugs.example.org", 80, ""},
      {"http://bugs.example.org/upload/", 0, false, false, "bugs.example.org", 80, "/upload/"},
      {"https://bugs.example.org/a/b", 0, false, true, "bugs.example.org", 443, "/a/b"},
      {"HTTPS://bugs.example.org", 0, false, true, "bugs.example.org", 443, ""},
      {"http://bugs.example.org", 0, true, true, "bugs.example.org", 443, ""},
      {"bugs.example.org:8080/x", 0, false, false, "bugs.example.org", 8080, "/x"},
      {"bugs.example.org:8080/x", 9000, false, false, "bugs.example.org", 9000, "/x"},
      {"bugs.example.org", 8443, true, true, "bugs.example.org", 8443, ""},
  };
  for (const TCase& c : cases) {
    const THttpTarget target = SplitHttpServer(c.text, c.port, c.ssl);
    EXPECT_EQ(target.secure, c.secure) << c.text;
    EXPECT_EQ(target.host, c.host) << c.text;
    EXPECT_EQ(target.port, c.wantPort) << c.text;
    EXPECT_EQ(target.path, c.path) << c.text;
  }
}

TEST(HttpTarget, RequestPathsCannotBreakTheRequestLine) {
  EXPECT_EQ(RequestPath(""), "/");
  EXPECT_EQ(RequestPath("api.xml?cmd=x"), "/api.xml?cmd=x");
  EXPECT_EQ(RequestPath("/a b\r\nHost: evil"), "/a%20b%0D%0AHost:%20evil");
  EXPECT_EQ(RequestPath("/\xc3\xa4"), "/%C3%A4");
}

}  // namespace
}  // namespace ruvex
