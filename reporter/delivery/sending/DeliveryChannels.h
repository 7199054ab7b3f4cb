#pragma once
// What a send asks of the world: the reachability check, each delivery
// channel, the progress window, the failure message and the files. The
// order in which they are asked lives in BugReportSending; the program
// plugs the real channels in, the tests fakes that record.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/files/FileSystem.h"
#include "common/win/NativeHandles.h"
#include "reporter/core/fields/Fields.h"
#include "reporter/core/reportfile/ReportFileWriter.h"
#include "reporter/delivery/mailprograms/MapiMail.h"
#include "reporter/delivery/sending/SendConfig.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

// The files a channel carries, in order: path, send-as name, field name.
struct TPreparedAttachments {
  std::vector<std::u16string> paths, sendAsNames, fieldNames;
  bool Empty() const { return paths.empty(); }
};

struct TUploadRequest {
  const TSendConfig* config = nullptr;
  std::u16string server;  // HttpServer, without a trailing "/" for the trackers
  std::u16string sender;
  std::vector<TIREFields::TItem> fields;
  const TPreparedAttachments* attachments = nullptr;
  IProgressAlert* progress = nullptr;
  // The report header's "computer name", "operating system", "version", "callstack crc".
  std::u16string computerName, operatingSystem, version, callstackCrc;
};

struct TMailRequest {
  std::u16string sender, recipients, subject, body;
  const TPreparedAttachments* attachments = nullptr;
  IProgressAlert* progress = nullptr;
};

class IDeliveryChannels {
 public:
  virtual ~IDeliveryChannels() = default;
  virtual bool InternetReachable(bool mayDial) = 0;
  // One upload: a tracker or the custom script, as the config chooses.
  virtual bool Upload(const TUploadRequest& request) = 0;
  // SMTP to each recipient's mail exchanger when server.host is empty, else
  // through that relay.
  virtual bool SendSmtp(const TMailRequest& request, const TSmtpServer& server) = 0;
  virtual TMapiResult SendMapi(const TMailRequest& request, bool silent, kelvane::TWindowHandle parent) = 0;
  // True when the mail program was started with the message.
  virtual bool SendMailto(const std::u16string& recipients, const std::u16string& subject,
                          const std::u16string& body) = 0;
  virtual void ShowFailure(kelvane::TWindowHandle parent, const std::u16string& text) = 0;
  virtual void MakeNonTopmost(kelvane::TWindowHandle window) = 0;
  virtual PProgressAlert CreateProgress(const std::u16string& title) = 0;
};

// The files side of a send and the exception's two states.
struct TSendEnvironment {
  kelvane::IFileSystem* files = nullptr;
  // This send's own folder inside the reporter's temporary folder, ending
  // in a backslash; two sends never share one.
  std::u16string sendFolder;
  TReportFileContext reportFile;  // for the report copy's name and its writing
  TReportFileOptions reportFileOptions;
  TPlaceholderExpander expand;    // the settings' placeholders, for BugRepFile
  std::function<std::uint64_t()> tickCount = [] { return std::uint64_t(0); };
  // The exception's mail-was-saved and mail-was-sent states.
  std::function<bool()> getMailWasSaved = [] { return false; };
  std::function<void(bool)> setMailWasSaved = [](bool) {};
  std::function<void(bool)> setMailWasSent = [](bool) {};
};

}  // namespace ruvex
