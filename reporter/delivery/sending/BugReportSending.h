#pragma once
// One send of a bug report: texts, attachments, then the channels in their
// fixed order (upload, SMTP, Simple MAPI, the mailto handler) until one
// delivers; the failure message when none did.
#include <memory>
#include <string>

#include "reporter/delivery/sending/DeliveryChannels.h"
#include "reporter/delivery/sending/SendAttachments.h"

namespace ruvex {

class INVBitmap;

enum class TDeliveryResult {
  drNotSent = 0,
  drSent = 1,        // an upload, SMTP or MAPI delivery took the report
  drCancelled = 2,   // the user cancelled the mail program's dialog
  // The mail program was started with the message: the user may still
  // send it or not, so it is not counted as sent and deletes nothing.
  drMailProgramStarted = 3,
  drStartedInBackground = 4,
};

struct TSendRequest {
  std::u16string bugReport;
  std::shared_ptr<INVBitmap> screenShot;
  kelvane::TWindowHandle parent;  // none on the background thread
  bool inBackground = false;
  bool silent = false;
};

// "RuvexExcept " and the first recipient's address, when MailFrom is empty.
std::u16string SenderOf(const TSendConfig& config);

// Runs the whole send on this thread.
TDeliveryResult SendBugReportNow(const TSendRequest& request, const TSendConfig& config, TSendEnvironment& env,
                                 IDeliveryChannels& channels);

}  // namespace ruvex
