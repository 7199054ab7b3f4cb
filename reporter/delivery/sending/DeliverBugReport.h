#pragma once
// The send operation behind the send button, automatic sending and the
// exception's SendBugReport: reads the settings, makes the send's own
// folder and runs the send here or on a background thread.
#include <functional>
#include <memory>
#include <string>

#include "reporter/delivery/sending/BackgroundSends.h"
#include "reporter/delivery/sending/BugReportSending.h"

namespace ruvex {

class TIRESettings;

struct TSendServices {
  IDeliveryChannels* channels = nullptr;
  kelvane::IFileSystem* files = nullptr;  // null: the platform's files
  // The reporter's temporary folder, ending in a backslash.
  std::u16string tempFolder;
  // Where background sends are kept until the program waits for them;
  // null: every send runs on the calling thread.
  TBackgroundSends* background = nullptr;
  // Whether the process loader lock is held (waiting up to 250 ms); a
  // thread cannot be started then.
  std::function<bool()> loaderLockHeld = [] { return false; };
  std::function<std::uint64_t()> tickCount = [] { return std::uint64_t(0); };
};

// settings is the exception object (or any settings object); when it is an
// exception, its mail-was-sent and mail-was-saved states follow the send.
// mayUseThread: the caller allows a background thread; inBackground: this
// already is one. silent: no interface but the progress window with
// AutoSendBox, no dial-up, no mailto, no failure message.
TDeliveryResult DeliverBugReport(const std::u16string& bugReport, std::shared_ptr<INVBitmap> screenShot,
                                 kelvane::TWindowHandle parent, bool inBackground,
                                 std::shared_ptr<TIRESettings> settings, bool mayUseThread, bool silent,
                                 TSendServices& services);

// A folder name for one send, unique within the process.
std::u16string NewSendFolderName(std::uint64_t tickCount);

}  // namespace ruvex
