#include "reporter/delivery/http/client/HttpSession.h"

#include <gtest/gtest.h>

#include "reporter/delivery/http/client/FakeHttpClient.h"

namespace ruvex {
namespace {

THttpReply Status(int status, std::vector<THttpAuthScheme> server = {}, std::vector<THttpAuthScheme> proxy = {}) {
  THttpReply reply;
  reply.answered = true;
  reply.status = status;
  reply.serverSchemes = std::move(server);
  reply.proxySchemes = std::move(proxy);
  reply.body = "&amp;lt;b&quot;";
  return reply;
}

THttpReply Error(std::uint32_t number) {
  THttpReply reply;
  reply.errorNo = number;
  reply.errorText = u"failed";
  return reply;
}

const THttpAccounts kAccounts{u"user", u"pw", u"proxyuser", u"proxypw"};
using S = THttpAuthScheme;

TEST(HttpSession, EachChallengeKindIsRetriedAtMostOnce) {
  struct TCase {
    const char* name;
    std::deque<THttpReply> replies;
    THttpAccounts accounts;
    bool ok;
    std::size_t attempts;
  };
  const TCase cases[] = {
      {"ok at once", {Status(200)}, kAccounts, true, 1},
      {"wrong proxy password", {Status(407, {}, {S::asBasic})}, kAccounts, false, 2},
      {"wrong server password", {Status(401, {S::asBasic})}, kAccounts, false, 2},
      {"no account: no retry", {Status(401, {S::asBasic})}, {}, false, 1},
      {"no scheme offered", {Status(401)}, kAccounts, false, 1},
      {"proxy then server then ok", {Status(407, {}, {S::asDigest}), Status(401, {S::asNtlm}), Status(200)},
       kAccounts, true, 3},
      {"proxy accepted, server refuses for good",
       {Status(407, {}, {S::asBasic}), Status(401, {S::asBasic}), Status(401, {S::asBasic})}, kAccounts, false, 3},
      {"resend asked once", {Error(kErrorResendRequest), Status(200)}, {}, true, 2},
      {"resend asked forever", {Error(kErrorResendRequest)}, {}, false, 2},
      {"other error: no retry", {Error(kErrorCannotConnect)}, {}, false, 1},
      {"redirect is success", {Status(302)}, {}, true, 1},
      {"server error", {Status(500)}, {}, false, 1},
      {"created is success", {Status(201)}, {}, true, 1},
      {"no content is success", {Status(204)}, {}, true, 1},
      {"299 is success", {Status(299)}, {}, true, 1},
      {"300 is no success", {Status(300)}, {}, false, 1},
  };
  for (const TCase& c : cases) {
    TFakeHttpClient client;
    client.replies = c.replies;
    THttpSession session(client, c.accounts);
    EXPECT_EQ(session.Send("POST", "/x", {}, nullptr).ok, c.ok) << c.name;
    EXPECT_EQ(client.requests.size(), c.attempts) << c.name;
  }
}

TEST(HttpSession, CredentialsFollowTheChosenScheme) {
  TFakeHttpClient client;
  client.replies = {Status(407, {}, {S::asBasic, S::asNtlm}), Status(401, {S::asBasic, S::asDigest, S::asNegotiate}),
                    Status(200)};
  THttpSession session(client, kAccounts);
  const THttpOutcome outcome = session.Get("/api.xml");
  ASSERT_TRUE(outcome.ok);
  ASSERT_EQ(client.requests.size(), 3u);
  EXPECT_FALSE(client.requests[0].proxy);
  ASSERT_TRUE(client.requests[1].proxy);
  EXPECT_EQ(client.requests[1].proxy->scheme, S::asNtlm);
  EXPECT_EQ(client.requests[1].proxy->user, u"proxyuser");
  ASSERT_TRUE(client.requests[2].server);
  EXPECT_EQ(client.requests[2].server->scheme, S::asNegotiate);
  EXPECT_EQ(client.requests[2].server->password, u"pw");
  EXPECT_TRUE(session.AuthRequested());
  EXPECT_TRUE(session.AuthAccepted());
  EXPECT_EQ(outcome.answer, "&amp;lt;b&quot;");  // as received: values are decoded where they are read
}

TEST(HttpSession, EntitiesAreDecodedOnceEach) {
  EXPECT_EQ(DecodeEntities("&quot;a&amp;b&apos;&lt;c&gt;"), "\"a&b'<c>");
  EXPECT_EQ(DecodeEntities("&amp;lt; &amp;amp; &lt"), "&lt; &amp; &lt");
}

TEST(HttpSession, TrackerErrorsAreNumberMinusOne) {
  TFakeHttpClient client;
  client.replies = {Status(200)};
  THttpSession session(client, {});
  session.SetTrackerError(u"Invalid token");
  EXPECT_EQ(session.LastErrorNo(), -1);
  EXPECT_EQ(session.LastErrorText(), u"Invalid token");
  session.SetTrackerError(u"");
  EXPECT_EQ(session.LastErrorNo(), 0);
}

}  // namespace
}  // namespace ruvex
