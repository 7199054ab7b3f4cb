#include "reporter/delivery/http/client/HttpResponse.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

using R = TResponseState;

TEST(HttpResponse, FramesTheBodyByLengthChunksOrClose) {
  struct TCase {
    const char* name;
    std::string bytes;
    bool closed;
    R state;
    int status;
    const char* body;
  };
  const TCase cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, R::rsComplete, 200, "hello"},
      {"length, more bytes ignored", "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nhello", false, R::rsComplete, 200, "he"},
      {"length not yet there", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello", false, R::rsIncomplete, 200, ""},
      {"length cut by close", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello", true, R::rsMalformed, 200, ""},
      {"chunks", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nA;x=1\r\n 012345678\r\n0\r\n\r\n",
       false, R::rsComplete, 200, "hello 012345678"},
      {"chunks with trailer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\nT: 1\r\n\r\n", false,
       R::rsComplete, 200, "x"},
      {"chunks unfinished", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", false, R::rsIncomplete, 200, ""},
      {"chunk size absurd", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n", false,
       R::rsMalformed, 200, ""},
      {"until close", "HTTP/1.0 302 Found\r\nLocation: http://x/\r\n\r\nmoved", true, R::rsComplete, 302, "moved"},
      {"until close, still open", "HTTP/1.0 200 OK\r\n\r\nmo", false, R::rsIncomplete, 200, ""},
      {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 401 No\r\nContent-Length: 0\r\n\r\n", false,
       R::rsComplete, 401, ""},
      {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, R::rsComplete, 204, ""},
      {"not http", "SSH-2.0-x\r\n\r\n", false, R::rsMalformed, 0, ""},
      {"bad header", "HTTP/1.1 200 OK\r\nno colon\r\n\r\n", false, R::rsMalformed, 200, ""},
      {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, R::rsMalformed, 200, ""},
      {"head cut by close", "HTTP/1.1 200 OK\r\nContent-Le", true, R::rsMalformed, 0, ""},
  };
  for (const TCase& c : cases) {
    THttpResponse response;
    EXPECT_EQ(ParseHttpResponse(c.bytes, c.closed, response), c.state) << c.name;
    if (c.state == R::rsComplete) {
      EXPECT_EQ(response.status, c.status) << c.name;
      EXPECT_EQ(response.body, c.body) << c.name;
    }
  }
}

TEST(HttpResponse, HeadersAreFoundWithoutRegardToCase) {
  THttpResponse response;
  ASSERT_EQ(ParseHttpResponse("HTTP/1.1 401 No\r\nWWW-Authenticate: NTLM\r\nwww-authenticate:  Basic realm=\"x\" \r\n"
                              "Content-Length: 0\r\n\r\n",
                              false, response),
            R::rsComplete);
  EXPECT_EQ(response.Headers("Www-Authenticate"), (std::vector<std::string>{"NTLM", "Basic realm=\"x\""}));
  EXPECT_FALSE(response.Header("Location"));
}

}  // namespace
}  // namespace ruvex
