// Bugzilla calls against Python's XML-RPC server on loopback, which reads
// every request with its own parser.
#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/delivery/http/client/LoopbackScript.h"
#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "reporter/delivery/trackers/Bugzilla.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using testing::FileLines;
using testing::Hex;

struct TBugzillaRun {
  std::string log;
  testing::TLoopbackScript server;
  std::unique_ptr<IHttpClient> client;
  THttpSession session;
  TBugzillaRun(const std::string& name, int requests)
      : log(testing::FreshLog("bugzilla-" + name)),
        server(testing::SourcePath("reporter/delivery/trackers/bugzilla_server.py"), {log, std::to_string(requests)}),
        client(CreateSocketHttpClient(SplitHttpServer("127.0.0.1:" + std::to_string(server.Port()) + "/bugs", 0, false),
                                      [] { return CreateTcpStream(); })),
        session(*client, {}) {}
};

const TTrackerAccount kAccount{"/bugs", u"tester@example.org", u"pw \u00e4&<"};

TEST(Bugzilla, ReadsProductsComponentsVersionsAndFieldValues) {
  TBugzillaRun run("init", 6);
  TBugzilla tracker(run.session, kAccount, {});
  ASSERT_TRUE(tracker.Init()) << kelvane::Utf16ToUtf8(run.session.LastErrorText());
  const TTrackerLists& lists = tracker.Lists();
  EXPECT_EQ(lists.version, u"5.0.6");
  EXPECT_EQ(lists.projects, (TTextList{u"Kelvane", u"Other"}));
  EXPECT_EQ(lists.areas, (TTextList{u"Launcher", u"Reporter", u"General"}));
  EXPECT_EQ(lists.areaProjects, (TTextList{u"Kelvane", u"Kelvane", u"Other"}));
  EXPECT_EQ(lists.versions, (TTextList{u"1.0", u"2.0", u"unspecified"}));
  EXPECT_EQ(lists.priorities, (TTextList{u"P1", u"P2", u"P3"}));
  EXPECT_EQ(lists.severities, (TTextList{u"critical", u"normal"}));
  EXPECT_EQ(lists.oss, (TTextList{u"Linux", u"other"}));
  EXPECT_EQ(lists.platforms, (TTextList{u"PC", u"Macintosh"}));
}

TEST(Bugzilla, CreatesTheBugAndStreamsItsAttachments) {
  TBugzillaRun run("upload", 9);
  kelvane::TMemoryFileSystem files;
  std::string binary;
  for (int i = 0; i < 4000; ++i) binary.push_back(static_cast<char>(i * 31));
  files.Add(u"report", binary);
  files.Add(u"empty", "");
  TBugzilla tracker(run.session, kAccount, {&files, nullptr, {}});
  TTrackerIssue issue;
  issue.title = u"Access violation & <crash> \u00fc\u4e2d";
  issue.description = u"line 1\nline 2";
  issue.project = u"kelvane";
  issue.area = u"no such component";
  issue.version = u"2.0";
  issue.operatingSystem = u"Windows 10";
  issue.sendAsNames = {u"bugreport.txt", u"empty.txt", u"gone.png"};
  issue.paths = {u"report", u"empty", u"missing"};
  const std::optional<std::string> id = tracker.Upload(issue);
  ASSERT_EQ(id, "42") << kelvane::Utf16ToUtf8(run.session.LastErrorText());

  const std::vector<std::string> log = FileLines(run.log);
  ASSERT_EQ(log.size(), 2u);
  const std::vector<std::string> values{"Kelvane", "Launcher", kelvane::Utf16ToUtf8(issue.title), "2.0",
                                        "line 1\nline 2", "other", "P2", "normal", "PC"};
  std::string expected = "create " + Hex("product,component,summary,version,description,op_sys,priority,severity,platform");
  for (const std::string& v : values) expected += " " + Hex(v);
  EXPECT_EQ(log[0], expected);
  EXPECT_EQ(log[1], "attach " + Hex("data") + " 42 " + Hex("bugreport.txt") + " " + Hex("bugreport.txt") +
                        " text/plain " + Hex(binary));
}

TEST(Bugzilla, AFaultBecomesTheLastError) {
  TBugzillaRun run("fault", 6);
  TBugzilla tracker(run.session, {"/bugs", u"tester@example.org", u"wrong"}, {});
  ASSERT_TRUE(tracker.Init());
  EXPECT_FALSE(tracker.Call("Bug.create", "", true));
  EXPECT_EQ(run.session.LastErrorNo(), -1);
  EXPECT_EQ(run.session.LastErrorText(), u"The username or password you entered is not valid.");
}

}  // namespace
}  // namespace ruvex
