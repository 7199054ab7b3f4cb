#include "reporter/delivery/trackers/Bugzilla.h"
#include "common/files/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include "reporter/delivery/http/client/FakeHttpClient.h"

namespace ruvex {
namespace {

const char* kVersionAnswer =
    "<?xml version=\"1.0\"?><methodResponse><params><param><value><struct><member><name>id</name>"
    "<value><int>42</int></value></member></struct></value></param></params></methodResponse>";

TEST(Bugzilla, CallBodiesArePinned) {
  TFakeHttpClient client;
  client.replies = {TFakeHttpClient::Answer(200, kVersionAnswer)};
  THttpSession session(client, {});
  TBugzilla tracker(session, {"/bz/", u"me", u"p&w"}, {});
  kelvane::TMemoryFileReader file("ABCD");
  ASSERT_TRUE(tracker.Call("Bug.add_attachment", XmlRpcMemberText("ids", "int", u"42"), true, &file));
  ASSERT_EQ(client.requests.size(), 1u);
  EXPECT_EQ(client.requests[0].path, "/bz/xmlrpc.cgi");
  EXPECT_EQ(client.requests[0].headerLines, std::vector<std::string>{"Content-Type: text/xml"});
  EXPECT_EQ(client.bodies[0],
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>Bug.add_attachment</methodName>"
            "<params><param><value><struct>"
            "<member><name>Bugzilla_login</name><value><string>me</string></value></member>"
            "<member><name>Bugzilla_password</name><value><string>p&amp;w</string></value></member>"
            "<member><name>ids</name><value><int>42</int></value></member>"
            "<member><name>data</name><value><base64>QUJDRA==</base64></value></member>"
            "</struct></value></param></params></methodCall>");
  EXPECT_EQ(XmlRpcMemberText("exclude_fields", "string", u"data", true),
            "<member><name>exclude_fields</name><value><array><data><value><string>data</string></value></data>"
            "</array></value></member>");
  EXPECT_EQ(XmlRpcMemberText("alias", "string", u""), "");
}

TEST(Bugzilla, AnAnswerWithoutValueOrFaultIsAnError) {
  TFakeHttpClient client;
  client.replies = {TFakeHttpClient::Answer(200, "<html>maintenance</html>")};
  THttpSession session(client, {});
  TBugzilla tracker(session, {"/bz", {}, {}}, {});
  EXPECT_FALSE(tracker.Init());
  EXPECT_EQ(session.LastErrorNo(), -1);
  EXPECT_EQ(client.requests.size(), 1u);
}

}  // namespace
}  // namespace ruvex
