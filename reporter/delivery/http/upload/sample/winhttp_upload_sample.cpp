// Posts through the platform's HTTP library to a test server on 127.0.0.1
// and prints what it planned and what came back, so that a driver on the
// other side of the emulator can compare it with what the server received.
//
// Usage: winhttp_upload_sample CASE PORT
//   custom  the custom-script form with fields and files to /upload/
//   auth    the same to /auth with a wrong password
//   status  the same to /status/204, a success without content
//   tls     the same over https to a server whose authority is not trusted
//   tls-lax the same with the certificate checks switched off
#include <cstdio>
#include <string>
#include <vector>

#include "common/files/MemoryFileSystem.h"
#include "common/text/Utf.h"
#include "reporter/delivery/http/upload/CustomScriptPost.h"
#include "reporter/delivery/http/client/WinHttpClient.h"

namespace {

using namespace ruvex;

// Counts the exchanges, so that the driver sees how often the session retried.
class TCountingClient final : public IHttpClient {
 public:
  explicit TCountingClient(IHttpClient& inner) : inner_(inner) {}
  THttpReply Exchange(const THttpRequest& request, const TBodyProgress& progress) override {
    ++count_;
    return inner_.Exchange(request, progress);
  }
  int Count() const { return count_; }

 private:
  IHttpClient& inner_;
  int count_ = 0;
};

// Every byte value, more than one read block.
std::string AllBytes(std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  return bytes;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

TCustomScriptJob ReportJob(const std::string& path) {
  TCustomScriptJob job;
  job.path = path;
  job.mailFrom = u"Rita Weber <rita@example.org>";
  job.fields = {{u"Subject", u"Crash in Gr\u00fcn & <more> ]]>"},
                {u"Body", u"line 1\r\nline 2 \u20ac \u4e2d & < ]]>"},
                {u"MailFrom", u"Rita Weber <rita@example.org>"}};
  job.fieldNames = {u"File1", u"File2", u"File3"};
  job.sendAsNames = {u"bugreport.bin", u"r\u00e9sum\u00e9 \u4e2d.txt", u"empty.txt"};
  job.paths = {u"a.bin", u"b.txt", u"empty"};
  return job;
}

void AddReportFiles(kelvane::TMemoryFileSystem& files) {
  files.Add(u"a.bin", AllBytes(70000));
  files.Add(u"b.txt", "short & <text> ]]>");
  files.Add(u"empty", "");
}

// The body the job plans, from the same files: its length is what the
// request must declare.
std::uint64_t PlannedLength(const TCustomScriptJob& job, kelvane::TMemoryFileSystem& files) {
  std::vector<std::unique_ptr<kelvane::IFileReader>> open;
  std::vector<TPostFile> posted;
  for (std::size_t i = 0; i < job.paths.size(); ++i) {
    open.push_back(files.OpenRead(job.paths[i]));
    posted.push_back({job.fieldNames[i], job.sendAsNames[i], open.back().get()});
  }
  return MultipartBody(job.fields, posted, job.options).Length();
}

int Run(const std::string& which, std::uint16_t port) {
  const auto winHttp = CreateWinHttpClient(SplitHttpServer("127.0.0.1", port, which.starts_with("tls")),
                                           TWinHttpOptions{.strictCerts = which != "tls-lax"});
  if (!winHttp) {
    std::puts("nolibrary");
    return 2;
  }
  TCountingClient client(*winHttp);
  THttpAccounts accounts;
  if (which == "auth") accounts = {u"user", u"not the secret", {}, {}};
  THttpSession session(client, accounts);
  kelvane::TMemoryFileSystem files;
  AddReportFiles(files);
  const std::string path = which == "auth" ? "/auth" : which == "status" ? "/status/204" : "/upload/";
  const TCustomScriptJob job = ReportJob(path);
  const std::uint64_t planned = PlannedLength(job, files);
  const TCustomScriptResult result = PostMultipart(session, job, {&files, nullptr, {}, {}});
  std::printf("ok %d\nexchanges %d\nplanned %llu\nerror %lld %s\n", result.ok ? 1 : 0, client.Count(),
              static_cast<unsigned long long>(planned), static_cast<long long>(session.LastErrorNo()),
              Hex(kelvane::Utf16ToUtf8(session.LastErrorText())).c_str());
  std::printf("response\n%s", result.response.c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::puts("usage: winhttp_upload_sample CASE PORT");
    return 2;
  }
  const std::string which = kelvane::Utf16ToUtf8(std::u16string(argv[1], argv[1] + wcslen(argv[1])));
  return Run(which, static_cast<std::uint16_t>(_wtoi(argv[2])));
}
