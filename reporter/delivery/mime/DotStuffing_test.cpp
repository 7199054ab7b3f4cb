#include "reporter/delivery/mime/DotStuffing.h"

#include <gtest/gtest.h>

#include <vector>

#include "reporter/delivery/mime/Base64.h"

namespace ruvex {
namespace {

TEST(DotStuffing, EveryLineIsStuffedAndEndsInCrLf) {
  struct TCase {
    std::vector<std::string> chunks;
    std::string wire;
  } cases[] = {
      {{".\r\n.foo\r\n"}, "..\r\n..foo\r\n"},
      {{".first line"}, "..first line"},
      {{"a\n.\nb\r.c\r\n"}, "a\r\n..\r\nb\r\n..c\r\n"},
      {{"a.b\r\n x.\r\n"}, "a.b\r\n x.\r\n"},
      // Lines and line breaks split across chunks.
      {{"a\r", "\n.", "b"}, "a\r\n..b"},
      {{"a\r", ".b"}, "a\r\n..b"},
      {{"a\r\n", ".", ".\r\n"}, "a\r\n...\r\n"},
  };
  for (const auto& c : cases) {
    TDotStuffer stuffer;
    std::string wire;
    for (const auto& chunk : c.chunks) wire += stuffer.Stuff(chunk);
    EXPECT_EQ(wire, c.wire);
  }
  TDotStuffer pending;
  EXPECT_EQ(pending.Stuff("x\r"), "x");
  EXPECT_FALSE(pending.AtLineStart());
  EXPECT_EQ(pending.EndLine(), "\r\n");
  EXPECT_TRUE(pending.AtLineStart());
  EXPECT_EQ(pending.EndLine(), "");
}

TEST(Base64, KnownVectorsAndLines) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(Base64(plain), encoded);
  EXPECT_EQ(Base64("\xff\xfe"), "//4=");
  const std::string lines = Base64Lines(std::string(100, 'x'));
  EXPECT_EQ(lines.size(), 136u + 2 * 2);
  EXPECT_EQ(lines.find("\r\n"), 76u);
}

}  // namespace
}  // namespace ruvex
