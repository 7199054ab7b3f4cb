// Server replies are untrusted: whatever a server sends, the dialogue ends
// in bounded time without a crash, and the data phase can be ended only
// once, by the client's own end-of-data line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/files/MemoryFileSystem.h"
#include "reporter/delivery/smtp/SmtpClient.h"
#include "reporter/delivery/smtp/SmtpReply.h"
#include "reporter/delivery/transport/ScriptedStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ruvex::IsCompleteReply(input);
  ruvex::ReplyHasCode(input, "250");
  ruvex::FirstReplyLine(input);
  ruvex::ReadEhloOffer(input);

  // Each NUL byte ends one chunk the server sends.
  ruvex::TScriptedStream stream;
  stream.tlsAvailable = size > 0 && (data[0] & 1);
  for (std::size_t start = 0; start <= input.size();) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    stream.Reply(std::string(input.substr(start, end - start)));
    start = end + 1;
  }
  ruvex::TSmtpOptions options;
  options.heloName = "fuzz.test";
  {
    ruvex::TSmtp smtp(stream, options);
    kelvane::TMemoryFileSystem files;
    files.Add(u"f.txt", ".\r\n.\r\n");
    const auto file = files.OpenRead(u"f.txt");
    if (smtp.Open({"mail.test", 0, u"user", u"pw", (size & 2) != 0, false}) &&
        smtp.SendMail(u"a@x.test", u"b@x.test, c@x.test", u"S", u".\r\nbody\r\n.", u"") &&
        smtp.SendFile(*file, u"f.txt", nullptr))
      smtp.Finalize();
  }
  std::size_t ends = 0;
  for (std::size_t at = stream.sent.find("\r\n.\r\n"); at != std::string::npos; at = stream.sent.find("\r\n.\r\n", at + 1))
    ++ends;
  if (ends > 1) std::abort();
  return 0;
}
