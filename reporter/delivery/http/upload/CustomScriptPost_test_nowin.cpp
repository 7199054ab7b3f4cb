// The custom-script POST against a real HTTP server on loopback, whose
// python-multipart parser reads the body back.
#include <gtest/gtest.h>

#include <sstream>

#include "common/text/Utf.h"
#include "reporter/delivery/http/upload/CustomScriptPost.h"
#include "reporter/delivery/http/client/LoopbackScript.h"
#include "reporter/delivery/http/client/SocketHttpClient.h"
#include "common/files/MemoryFileSystem.h"

namespace ruvex {
namespace {

using testing::TLoopbackScript;

using testing::Hex;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct TServerRun {
  TLoopbackScript server;
  std::unique_ptr<IHttpClient> client;
  explicit TServerRun(int requests)
      : server(testing::SourcePath("reporter/delivery/http/upload/upload_server.py"), {std::to_string(requests)}) {
    client = CreateSocketHttpClient(SplitHttpServer("127.0.0.1:" + std::to_string(server.Port()), 0, false),
                                    [] { return CreateTcpStream(); });
  }
};

std::string AllBytes(std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  return bytes;
}

TEST(CustomScriptPost, FieldsAndFilesArriveByteForByteWithTheDeclaredLength) {
  TServerRun run(1);
  ASSERT_NE(run.server.Port(), 0);
  THttpSession session(*run.client, {});
  kelvane::TMemoryFileSystem files;
  const std::string binary = AllBytes(5000);  // more than two blocks, every byte value
  files.Add(u"a.bin", binary);
  files.Add(u"b.txt", "short");
  files.Add(u"empty", "");

  TCustomScriptJob job;
  job.path = "/upload/";
  job.mailFrom = u"Rita Weber <rita@example.org>";
  job.fields = {{u"Subject", u"Crash in Gr\u00fcn"},
                {u"Body", u"line 1\r\nline 2 \u20ac \u4e2d"},
                {u"MailFrom", u"Rita Weber <rita@example.org>"}};
  job.fieldNames = {u"File1", u"File2", u"File3", u"File4"};
  job.sendAsNames = {u"bugreport.bin", u"say \"hi\".txt", u"missing.txt", u"empty.txt"};
  job.paths = {u"a.bin", u"b.txt", u"nowhere", u"empty"};
  const TCustomScriptResult result = PostMultipart(session, job, {&files, nullptr, {}, {}});
  ASSERT_TRUE(result.ok) << kelvane::Utf16ToUtf8(session.LastErrorText());

  const std::vector<std::string> lines = Lines(result.response);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(9), lines[1].substr(9)) << "declared and received length";
  EXPECT_EQ(lines[2], "from " + Hex("<rita@example.org>"));
  const std::vector<std::string> expected{
      "field " + Hex("Subject") + " " + Hex("Crash in Gr\xfcn"),
      "field " + Hex("Body") + " " + Hex("line 1\r\nline 2 \xe2\x82\xac \xe4\xb8\xad"),
      "field " + Hex("MailFrom") + " " + Hex("rita@example.org"),
      "file " + Hex("File1") + " " + Hex("bugreport.bin") + " " + Hex(binary),
      "file " + Hex("File2") + " " + Hex("say _hi_.txt") + " " + Hex("short"),
      "file " + Hex("File4") + " " + Hex("empty.txt") + " ",
  };
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expected);
}

// The parser keeps a part's transfer encoding for the parts after it, so
// the encoded field is the last part here.
TEST(CustomScriptPost, AFieldHoldingTheDelimiterStaysOneField) {
  TServerRun run(1);
  THttpSession session(*run.client, {});
  kelvane::TMemoryFileSystem files;
  const std::string boundaryLine = std::string("x\r\n--") + kMultipartBoundary + "\r\ny";
  TCustomScriptJob job;
  job.path = "/";
  job.fields = {{u"Plain", u"p"}, {u"Evil", kelvane::Utf8ToUtf16(boundaryLine)}};
  const TCustomScriptResult result = PostMultipart(session, job, {&files, nullptr, {}, {}});
  ASSERT_TRUE(result.ok);
  const std::vector<std::string> lines = Lines(result.response);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
            (std::vector<std::string>{"field " + Hex("Plain") + " " + Hex("p"),
                                      "field " + Hex("Evil") + " " + Hex(boundaryLine)}));
}

TEST(CustomScriptPost, AFileHoldingTheDelimiterGetsAnotherBoundary) {
  TServerRun run(1);
  THttpSession session(*run.client, {});
  kelvane::TMemoryFileSystem files;
  const std::string evil = std::string("a\r\n--") + kMultipartBoundary + "--\r\n" + std::string(70000, 'b') +
                           "\r\n--" + kMultipartBoundary + "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\ny";
  files.Add(u"evil", evil);
  TCustomScriptJob job;
  job.path = "/";
  job.fieldNames = {u"File1"};
  job.sendAsNames = {u"evil.txt"};
  job.paths = {u"evil"};
  const TCustomScriptResult result = PostMultipart(session, job, {&files, nullptr, {}, {}});
  ASSERT_TRUE(result.ok);
  const std::vector<std::string> lines = Lines(result.response);
  EXPECT_EQ(lines[0].substr(9), lines[1].substr(9)) << "declared and received length";
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
            std::vector<std::string>{"file " + Hex("File1") + " " + Hex("evil.txt") + " " + Hex(evil)});
}

TEST(CustomScriptPost, ARedirectCountsAsSuccessAndIsOpened) {
  TServerRun run(1);
  THttpSession session(*run.client, {});
  kelvane::TMemoryFileSystem files;
  std::vector<std::string> opened;
  TCustomScriptJob job;
  job.path = "/redirect";
  job.fields = {{u"a", u"b"}};
  const TCustomScriptResult result =
      PostMultipart(session, job, {&files, nullptr, {}, [&](const std::string& url) { opened.push_back(url); }});
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.redirectUrl, "http://127.0.0.1/thanks?id=7");
  EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1/thanks?id=7"});
}

TEST(CustomScriptPost, ServerAuthenticationRetriesOnceWithTheAccount) {
  struct TCase {
    std::u16string password;
    bool ok;
  };
  for (const TCase& c : {TCase{u"secret", true}, TCase{u"wrong", false}}) {
    TServerRun run(2);
    THttpSession session(*run.client, {u"user", c.password, {}, {}});
    kelvane::TMemoryFileSystem files;
    TCustomScriptJob job;
    job.path = "/auth";
    job.fields = {{u"a", u"b"}};
    EXPECT_EQ(PostMultipart(session, job, {&files, nullptr, {}, {}}).ok, c.ok);
    EXPECT_TRUE(session.AuthRequested());
    EXPECT_EQ(session.AuthAccepted(), c.ok);
  }
}

TEST(CustomScriptPost, AnErrorStatusFails) {
  TServerRun run(1);
  THttpSession session(*run.client, {});
  kelvane::TMemoryFileSystem files;
  TCustomScriptJob job;
  job.path = "/status/500";
  EXPECT_FALSE(PostMultipart(session, job, {&files, nullptr, {}, {}}).ok);
  EXPECT_EQ(session.LastErrorNo(), 500);
}

}  // namespace
}  // namespace ruvex
