#include "reporter/delivery/trackers/Mantis.h"
#include "common/files/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include "reporter/delivery/http/client/FakeHttpClient.h"

namespace ruvex {
namespace {

TEST(Mantis, CallBodiesArePinned) {
  TFakeHttpClient client;
  client.replies = {TFakeHttpClient::Answer(200, "<x><return xsi:type=\"xsd:integer\">9</return></x>")};
  THttpSession session(client, {});
  TMantis tracker(session, {"/mt", u"me", u"<pw>"}, {});
  kelvane::TMemoryFileReader file("ABCD");
  EXPECT_EQ(tracker.Call("mc_issue_attachment_add", "<issue_id xsi:type=\"xsd:long\">3</issue_id>", true, {}, &file),
            "9");
  EXPECT_EQ(tracker.Call("mc_version", "", false), "9");
  ASSERT_EQ(client.requests.size(), 2u);
  EXPECT_EQ(client.requests[0].path, "/mt/api/soap/mantisconnect.php/mc_issue_attachment_add");
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
      "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body>";
  EXPECT_EQ(client.bodies[0], head +
                                  "<ns1:mc_issue_attachment_add xmlns:ns1=\"ns1\">"
                                  "<username xsi:type=\"xsd:string\">me</username>"
                                  "<password xsi:type=\"xsd:string\">&lt;pw&gt;</password>"
                                  "<issue_id xsi:type=\"xsd:long\">3</issue_id>"
                                  "<content xsi:type=\"xsd:base64Binary\">QUJDRA==</content>"
                                  "</ns1:mc_issue_attachment_add></SOAP-ENV:Body></SOAP-ENV:Envelope>");
  EXPECT_EQ(client.bodies[1], head + "<ns1:mc_version xmlns:ns1=\"ns1\"></ns1:mc_version></SOAP-ENV:Body>"
                                     "</SOAP-ENV:Envelope>");
}

TEST(Mantis, OperatingSystemsAreCutForTheForm) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Windows 10 build 19045", u"Windows 10"},
      {u"build 7", u"build 7"},  // "build" at the start cuts nothing
      {u"Windows 11 Professional Workstation Edition", u"Windows 11 Professional Worksta"},
      {std::u16string(30, u'x') + u"\U0001F600", std::u16string(30, u'x')},  // never half a character
      {u"", u""},
  };
  for (const auto& [os, cut] : cases) EXPECT_EQ(MantisOperatingSystem(os), cut);
}

}  // namespace
}  // namespace ruvex
