// Sends one mail through TSmtp over a real socket, for the server tests:
//   smtp_sample host port [--account A] [--password P] [--tls] [--utf8]
//               [--from F] [--to LIST] [--subject S] [--body-file FILE]
//               [--reply-to R] [--attach FILE NAME [--fail-after N]]...
// Texts on the command line and in the body file are UTF-8. Prints
// "delivered" or "failed: " and the last error; the exit code says the same.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/files/FileSystem.h"
#include "common/files/MemoryFileSystem.h"
#include "common/text/Utf.h"
#include "reporter/delivery/smtp/SmtpClient.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

struct TAttachment {
  std::string path;
  std::u16string name;
};

}  // namespace

int main(int argc, char** argv) {
  using kelvane::U16;
  if (argc < 3) {
    std::fprintf(stderr, "usage: smtp_sample host port [options]\n");
    return 2;
  }
  ruvex::TSmtpServer server;
  server.host = argv[1];
  server.port = static_cast<std::uint16_t>(std::atoi(argv[2]));
  ruvex::TSmtpOptions options;
  options.heloName = "reporter.test";
  options.timeout = ruvex::TMilliseconds(5000);
  std::u16string from = u"Kelvane Reporter <reporter@example.org>", to = u"support@example.org", subject, body, replyTo;
  std::vector<TAttachment> attachments;
  kelvane::TMemoryFileSystem failing;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--account") server.account = U16(next());
    else if (arg == "--password") server.password = U16(next());
    else if (arg == "--tls") server.tls = true;
    else if (arg == "--utf8") options.alwaysUtf8 = true;
    else if (arg == "--from") from = U16(next());
    else if (arg == "--to") to = U16(next());
    else if (arg == "--subject") subject = U16(next());
    else if (arg == "--reply-to") replyTo = U16(next());
    else if (arg == "--body-file") body = U16(ReadFile(next()));
    else if (arg == "--attach") {
      const std::string path = next();
      attachments.push_back({path, U16(next())});
    } else if (arg == "--fail-after" && !attachments.empty()) {
      // The file's copy in memory stands for a disk that fails there.
      const std::u16string path = U16(attachments.back().path);
      failing.Add(path, ReadFile(attachments.back().path));
      failing.readableBytes[path] = std::strtoull(next().c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 2;
    }
  }

  const auto stream = ruvex::CreateTcpStream();
  ruvex::TSmtp smtp(*stream, options);
  bool ok = smtp.Open(server) && smtp.SendMail(from, to, subject, body, replyTo);
  for (const auto& attachment : attachments) {
    const std::u16string path = U16(attachment.path);
    kelvane::IFileSystem& files = failing.files.count(path) ? failing : kelvane::DefaultFileSystem();
    const auto file = files.OpenRead(path);
    ok = ok && file && smtp.SendFile(*file, attachment.name, nullptr);
  }
  ok = ok && smtp.Finalize();
  smtp.Close();
  if (ok) {
    std::cout << "delivered" << (smtp.TlsUsed() ? " tls" : "") << "\n";
    return 0;
  }
  std::cout << "failed: " << kelvane::Utf16ToUtf8(smtp.LastError()) << "\n";
  return 1;
}
