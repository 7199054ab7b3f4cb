#include "reporter/delivery/http/client/HttpBody.h"
#include "common/files/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include "reporter/delivery/mime/Base64.h"

namespace ruvex {
namespace {

std::string Bytes(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i * 13));
  return s;
}

TEST(HttpBody, StreamsInBlocksAndKeepsTheDeclaredLength) {
  for (const bool base64 : {false, true}) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1536}, std::size_t{2048},
                                   std::size_t{5000}}) {
      kelvane::TMemoryFileReader file(Bytes(size));
      THttpBody body;
      body.AddText("head");
      body.AddFile(&file, base64);
      body.AddText("tail");
      std::string sent;
      std::vector<std::size_t> writes;
      std::vector<int> positions;
      int filesDone = 0;
      const bool ok = StreamBody(
          body, [&](std::string_view b) { sent += b, writes.push_back(b.size()); return true; },
          {[&](int p) { positions.push_back(p); }, [&] { ++filesDone; }});
      ASSERT_TRUE(ok);
      const std::string content = base64 ? Base64(Bytes(size)) : Bytes(size);
      EXPECT_EQ(sent, "head" + content + "tail") << size;
      EXPECT_EQ(body.Length(), sent.size()) << size;
      EXPECT_EQ(filesDone, 1);
      // Every file block but the last is a full 2,048 bytes on the wire.
      for (std::size_t i = 1; i + 2 < writes.size(); ++i) EXPECT_EQ(writes[i], 2048u) << size;
      if (size > 0) EXPECT_EQ(positions.back(), 1000);
    }
  }
}

TEST(HttpBody, AShortFileFailsRatherThanBreakTheDeclaredLength) {
  kelvane::TMemoryFileReader file(Bytes(5000), 3000);
  THttpBody body;
  body.AddFile(&file, false);
  std::string sent;
  EXPECT_FALSE(StreamBody(body, [&](std::string_view b) { sent += b; return true; }, {}));
  EXPECT_LT(sent.size(), 3000u);
  kelvane::TMemoryFileReader whole(Bytes(10));
  THttpBody second;
  second.AddFile(&whole, false);
  EXPECT_FALSE(StreamBody(second, [](std::string_view) { return false; }, {}));
}

}  // namespace
}  // namespace ruvex
