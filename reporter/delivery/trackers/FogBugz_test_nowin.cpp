// FogBugz commands and the new case's form against a stand-in server on
// loopback that reads the query with Python's URL parser and the form with
// python-multipart.
#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/delivery/http/client/LoopbackScript.h"
#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "reporter/delivery/mime/Base64.h"
#include "reporter/delivery/trackers/FogBugz.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using testing::FileLines;
using testing::Hex;

struct TFogBugzRun {
  std::string log;
  testing::TLoopbackScript server;
  std::unique_ptr<IHttpClient> client;
  THttpSession session;
  TFogBugzRun(const std::string& name, int requests, const char* minVersion)
      : log(testing::FreshLog("fogbugz-" + name)),
        server(testing::SourcePath("reporter/delivery/trackers/fogbugz_server.py"),
               {log, std::to_string(requests), minVersion}),
        client(CreateSocketHttpClient(SplitHttpServer("127.0.0.1:" + std::to_string(server.Port()) + "/fb", 0, false),
                                      [] { return CreateTcpStream(); })),
        session(*client, {}) {}
};

const TTrackerAccount kAccount{"/fb", u"tester@example.org", u"p\u00e4ss w&rd"};

TEST(FogBugz, LogsOnReadsTheListsAndLogsOff) {
  TFogBugzRun run("init", 8, "1");
  TFogBugz tracker(run.session, kAccount, {});
  ASSERT_TRUE(tracker.Init()) << kelvane::Utf16ToUtf8(run.session.LastErrorText());
  EXPECT_EQ(tracker.Lists().version, u"8.8.53");
  EXPECT_EQ(tracker.Lists().projects, (TTextList{u"Kelvane", u"Other"}));
  EXPECT_EQ(tracker.Lists().areaProjects, (TTextList{u"Kelvane", u"Kelvane", u"Other"}));
  EXPECT_EQ(tracker.Lists().users, (TTextList{u"Rita Weber", u"Ole Sand"}));
  EXPECT_EQ(FileLines(run.log), (std::vector<std::string>{"form logon ", "get listProjects", "get listAreas",
                                                           "get listCategories", "get listPriorities",
                                                           "get listPeople", "get logoff"}));
}

TEST(FogBugz, ServersOfATooNewInterfaceAndWrongPasswordsAreRefused) {
  {
    TFogBugzRun run("minversion", 1, "9");
    EXPECT_FALSE(TFogBugz(run.session, kAccount, {}).Init());
  }
  TFogBugzRun run("password", 2, "8");
  TFogBugz tracker(run.session, {"/fb", u"tester@example.org", u"wrong"}, {});
  EXPECT_FALSE(tracker.Init());
  EXPECT_EQ(run.session.LastErrorNo(), -1);
  EXPECT_EQ(run.session.LastErrorText(), u"Incorrect password or username");
}

TEST(FogBugz, TheNewCaseCarriesItsFieldsAndFiles) {
  TFogBugzRun run("upload", 11, "8");
  kelvane::TMemoryFileSystem files;
  files.Add(u"a", std::string("\0\x01\xff report", 10));
  TFogBugz tracker(run.session, kAccount, {&files, nullptr, {}});
  TTrackerIssue issue;
  issue.title = u"Crash \u4e2d";
  issue.description = u"desc";
  issue.project = u"kelvane";
  issue.area = u"Reporter";
  issue.assignTo = u"Nobody";
  issue.version = u"1.0";
  issue.computerName = u"PC-7";
  issue.email = u"rita@example.org";
  issue.checksum = u"$0a0b0c0d";
  issue.fields = {{u"Extra", u"x"}};
  issue.sendAsNames = {u"missing.txt", u"bugreport.txt"};
  issue.paths = {u"missing", u"a"};
  ASSERT_TRUE(tracker.Upload(issue)) << kelvane::Utf16ToUtf8(run.session.LastErrorText());

  const std::vector<std::string> log = FileLines(run.log);
  const auto post = std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("post "); });
  ASSERT_NE(post, log.end());
  const std::size_t blank = post->rfind(' ');
  EXPECT_EQ(post->substr(5, blank - 5), post->substr(blank + 1)) << "declared and received length";
  const std::vector<std::string> parts(post + 1, post + 16);
  const std::pair<const char*, std::string> expected[] = {
      {"Extra", "x"}, {"cmd", "new"}, {"token", "tok123"}, {"sTitle", "Crash \xe4\xb8\xad"}, {"sEvent", "desc"},
      {"sProject", "Kelvane"}, {"sArea", "not spam"}, {"sCategory", "Bug"}, {"sPersonAssignedTo", ""},
      {"sVersion", "1.0"}, {"sComputer", "PC-7"}, {"sCustomerEmail", "rita@example.org"},
      {"sScoutDescription", "$0a0b0c0d"}, {"nFileCount", "1"}};
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(parts[i], std::string("field ") + expected[i].first + " " + Hex(expected[i].second));
  EXPECT_EQ(parts[14], "file File1 " + Hex("bugreport.txt") + " " + Hex(std::string("\0\x01\xff report", 10)));
  EXPECT_EQ(log.back(), "get logoff");
}

}  // namespace
}  // namespace ruvex
