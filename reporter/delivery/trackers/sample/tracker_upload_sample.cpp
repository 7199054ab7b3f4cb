// Uploads one issue to a tracker stand-in on 127.0.0.1 through the
// platform's HTTP library and prints the outcome, for a driver on the other
// side of the emulator that reads what the stand-in logged.
//
// Usage: tracker_upload_sample TRACKER PORT    (bugzilla, mantis, fogbugz)
#include <cstdio>
#include <string>

#include "common/files/MemoryFileSystem.h"
#include "common/text/Utf.h"
#include "reporter/delivery/http/client/WinHttpClient.h"
#include "reporter/delivery/trackers/Bugzilla.h"
#include "reporter/delivery/trackers/FogBugz.h"
#include "reporter/delivery/trackers/Mantis.h"

namespace {

using namespace ruvex;

// Every byte value, more than one read block.
std::string AllBytes(std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  return bytes;
}

TTrackerIssue Issue() {
  TTrackerIssue issue;
  issue.title = u"Crash & <b> ]]> \u00fc\u4e2d";
  issue.description = u"say \"hi\" & <bye> ]]>";
  issue.project = u"Kelvane";
  issue.area = u"Reporter";
  issue.version = u"2.0";
  issue.operatingSystem = u"Linux";
  issue.email = u"rita@example.org";
  issue.sendAsNames = {u"bugreport.txt"};
  issue.paths = {u"report"};
  return issue;
}

std::optional<std::string> Upload(const std::string& tracker, THttpSession& session, kelvane::IFileSystem& files) {
  if (tracker == "bugzilla")
    return TBugzilla(session, {"/bugs", u"tester@example.org", u"pw \u00e4&<"}, {&files, nullptr, {}}).Upload(Issue());
  if (tracker == "mantis")
    return TMantis(session, {"/mantis", u"tester", u"pw&<\u00e4"}, {&files, nullptr, {}}).Upload(Issue());
  TFogBugz fogBugz(session, {"/fb", u"tester@example.org", u"p\u00e4ss w&rd"}, {&files, nullptr, {}});
  return fogBugz.Upload(Issue()) ? std::optional<std::string>("done") : std::nullopt;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::puts("usage: tracker_upload_sample TRACKER PORT");
    return 2;
  }
  const std::string tracker = kelvane::Utf16ToUtf8(std::u16string(argv[1], argv[1] + wcslen(argv[1])));
  const auto client = CreateWinHttpClient(SplitHttpServer("127.0.0.1", static_cast<std::uint16_t>(_wtoi(argv[2])), false));
  if (!client) return 2;
  THttpSession session(*client, {});
  kelvane::TMemoryFileSystem files;
  files.Add(u"report", AllBytes(70000));
  const std::optional<std::string> id = Upload(tracker, session, files);
  std::printf("result %s\nerror %s\n", id.value_or("-").c_str(), kelvane::Utf16ToUtf8(session.LastErrorText()).c_str());
  return 0;
}
