#pragma once
// A bug report of the own process: the header of the running system, one
// section per thread, the exception's registers, stack dump and
// disassembly. Started with placeholders, then completed; the completion
// may run on another thread than the start.
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/report/ReportHeader.h"
#include "reporter/core/startup/ThreadRegistry_win.h"
#include "reporter/core/threads/ReportCompletion.h"
#include "reporter/core/threads/ThreadAccess_win.h"

namespace ruvex {

struct TLiveException {
  DWORD threadId = 0;
  std::vector<std::u16string> classChain;  // the class first, then its ancestors
  std::u16string message;
  CONTEXT context{};
  Address address = 0;
};

struct TLiveReportSetup {
  const TThreadRegistry* registry = nullptr;
  DWORD mainThreadId = 0;             // 0: from the registry or the system
  std::vector<DWORD> leftOut;         // threads not to list (the reporter's own)
  TReportOptions options;
  ULONGLONG startTick = 0;            // the reporter's start, for "program up time"
  HMODULE module = nullptr;           // the module the report is about; null: the executable
  std::vector<TPluginSection> plugins;  // own-section plug-ins, in Plugins order
  IProgressAlert* progress = nullptr;   // one area per traced thread
  std::u16string progressCaption;       // PleaseWaitText
};

class TLiveBugReport {
 public:
  explicit TLiveBugReport(TLiveReportSetup setup);
  ~TLiveBugReport();
  TLiveBugReport(const TLiveBugReport&) = delete;
  TLiveBugReport& operator=(const TLiveBugReport&) = delete;

  // The header and every section with its placeholder; the threads' states
  // are read here. Without an exception: a report of all threads.
  void Start(const TLiveException* exception);
  // Fills the sections; false when aborted.
  bool Complete(const std::atomic<bool>* abort = nullptr);
  std::u16string Text() const;

  TIREFields& Header() { return *header_; }
  TIREFields& Sections() { return sections_; }

 private:
  struct TNames;
  TLiveReportSetup setup_;
  TWinThreadAccess threads_;
  std::shared_ptr<TIREFields> header_;
  TIREFields sections_;
  std::vector<TThreadStack> stacks_;
  std::optional<TThreadContext> registers_;
  std::size_t innerCount_ = 0;
  std::unique_ptr<TNames> names_;
};

// A complete report of all threads of the process without an exception,
// leaving out the calling thread.
std::u16string TraceProcessReport(const TThreadRegistry* registry);

}  // namespace ruvex
