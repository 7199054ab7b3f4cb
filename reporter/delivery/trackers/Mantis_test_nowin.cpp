// Mantis SOAP calls against a stand-in on loopback that reads every
// envelope with xml.etree and resolves its multi-reference parameters.
#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/delivery/http/client/LoopbackScript.h"
#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "reporter/delivery/trackers/Mantis.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using testing::FileLines;
using testing::Hex;

struct TMantisRun {
  std::string log;
  testing::TLoopbackScript server;
  std::unique_ptr<IHttpClient> client;
  THttpSession session;
  TMantisRun(const std::string& name, int requests, const char* script = "mantis_server.py")
      : log(testing::FreshLog("mantis-" + name)),
        server(testing::SourcePath(std::string("reporter/delivery/trackers/") + script), {log, std::to_string(requests)}),
        client(CreateSocketHttpClient(
            SplitHttpServer("127.0.0.1:" + std::to_string(server.Port()) + "/mantis", 0, false),
            [] { return CreateTcpStream(); })),
        session(*client, {}) {}
};

const TTrackerAccount kAccount{"/mantis", u"tester", u"pw&<\u00e4"};
constexpr int kInitCalls = 14;

TEST(Mantis, ReadsProjectsWithSubprojectsAndTheirLists) {
  TMantisRun run("init", kInitCalls);
  TMantis tracker(run.session, kAccount, {});
  ASSERT_TRUE(tracker.Init()) << kelvane::Utf16ToUtf8(run.session.LastErrorText());
  const TTrackerLists& lists = tracker.Lists();
  EXPECT_EQ(lists.version, u"2.25.0");
  EXPECT_EQ(lists.projects, (TTextList{u"Kelvane", u"Kelvane/Reporter", u"Other"}));
  EXPECT_EQ(lists.projectIds, (TTextList{u"1", u"3", u"2"}));
  EXPECT_EQ(lists.areas, (TTextList{u"General", u"Crash", u"Sub", u"Misc", u"</item>R&amp;D"}));
  EXPECT_EQ(lists.areaProjects, (TTextList{u"Kelvane", u"Kelvane", u"Kelvane/Reporter", u"Other", u"Other"}));
  EXPECT_EQ(lists.users, TTextList{u"rita"});
  EXPECT_EQ(lists.userIds, TTextList{u"5"});
  EXPECT_EQ(lists.priorityIds, (TTextList{u"10", u"30"}));
  EXPECT_EQ(lists.severities, (TTextList{u"minor", u"crash"}));
}

TEST(Mantis, CreatesTheIssueWithItsReferencesAndAttachesTheFiles) {
  TMantisRun run("upload", kInitCalls + 2);
  kelvane::TMemoryFileSystem files;
  std::string binary;
  for (int i = 0; i < 3100; ++i) binary.push_back(static_cast<char>(i ^ (i >> 8)));
  files.Add(u"r", binary);
  files.Add(u"e", "");
  TMantis tracker(run.session, kAccount, {&files, nullptr, {}});
  TTrackerIssue issue;
  issue.title = u"Crash <in> R&D \u00fc";
  issue.description = u"say \"hi\" & <bye> ]]>";
  issue.project = u"kelvane";
  issue.area = u"crash";
  issue.version = u"2.0";
  issue.assignTo = u"Rita";
  issue.operatingSystem = u"Windows 10 (Version 22H2, build 19045) with a long tail";
  issue.sendAsNames = {u"empty.txt", u"shot.png"};
  issue.paths = {u"e", u"r"};
  ASSERT_EQ(tracker.Upload(issue), "123") << kelvane::Utf16ToUtf8(run.session.LastErrorText());
  EXPECT_EQ(FileLines(run.log),
            (std::vector<std::string>{
                "issue 1 2.0 5 30 70 " + Hex("Crash <in> R&D \xc3\xbc") + " " + Hex("Crash") + " " +
                    Hex("Windows 10 (Version 22H2,") + " " + Hex("say \"hi\" & <bye> ]]>"),
                "attach 123 " + Hex("shot.png") + " image/png " + Hex(binary)}));
}

// PHP's SOAP server decodes the issue with its own multi-reference rules.
TEST(Mantis, PhpSoapServerReadsTheIssueAndTheAttachment) {
  if (access("/usr/bin/php", X_OK) != 0) GTEST_SKIP() << "no PHP";
  TMantisRun run("php", kInitCalls + 2, "php_soap_host.py");
  kelvane::TMemoryFileSystem files;
  files.Add(u"r", std::string("\0\x01\xfe\xff data", 9));
  TMantis tracker(run.session, kAccount, {&files, nullptr, {}});
  TTrackerIssue issue;
  issue.title = u"Crash <in> R&D \u00fc";
  issue.description = u"d";
  issue.project = u"Kelvane";
  issue.area = u"crash";
  issue.version = u"2.0";
  issue.assignTo = u"rita";
  issue.operatingSystem = u"Linux";
  issue.sendAsNames = {u"report.txt"};
  issue.paths = {u"r"};
  ASSERT_EQ(tracker.Upload(issue), "123") << kelvane::Utf16ToUtf8(run.session.LastErrorText());
  EXPECT_EQ(tracker.Lists().projects, (TTextList{u"Kelvane", u"Kelvane/Reporter", u"Other"}));
  EXPECT_EQ(FileLines(run.log),
            (std::vector<std::string>{"issue 1 2.0 5 30 70 " + Hex("Crash <in> R&D \xc3\xbc") + " " + Hex("Crash") +
                                          " " + Hex("Linux") + " " + Hex("d"),
                                      "attach 123 " + Hex("report.txt") + " text/plain " +
                                          Hex(std::string("\0\x01\xfe\xff data", 9))}));
}

TEST(Mantis, UnknownValuesAreLeftOutAndLongSystemsCut) {
  TMantisRun run("fallback", kInitCalls + 1);
  TMantis tracker(run.session, kAccount, {});
  TTrackerIssue issue;
  issue.title = u"t";
  issue.project = u"Other";
  issue.version = u"2.0";    // a version of another project
  issue.assignTo = u"rita";  // not a developer of this project
  issue.operatingSystem = u"Microsoft Windows Server 2022 Datacenter Edition";
  ASSERT_EQ(tracker.Upload(issue), "123");
  EXPECT_EQ(FileLines(run.log), std::vector<std::string>{"issue 2 - - 30 70 " + Hex("t") + " " + Hex("Misc") + " " +
                                                         Hex("Microsoft Windows Server 2022 D") + " "});
}

TEST(Mantis, AFaultBecomesTheLastError) {
  TMantisRun run("fault", 2);
  TMantis tracker(run.session, {"/mantis", u"tester", u"wrong"}, {});
  EXPECT_TRUE(tracker.Call("mc_version", "", false));
  EXPECT_FALSE(tracker.Call("mc_enum_priorities", "", true));
  EXPECT_EQ(run.session.LastErrorNo(), -1);
  EXPECT_EQ(run.session.LastErrorText(), u"Access denied");
}

}  // namespace
}  // namespace ruvex
