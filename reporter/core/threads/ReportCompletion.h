#pragma once
// The completion of a bug report: the expensive sections one after another
// in place of their placeholders, then the call-stack checksums.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reporter/core/fields/Fields.h"
#include "reporter/core/settings/Settings.h"
#include "reporter/core/threads/ThreadStack.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/x86/InstrText.h"
#include "reporter/engines/x86/ParseFunction.h"

namespace ruvex {

class IProgressAlert;

// The settings the thread sections read; the defaults are the settings'.
struct TReportOptions {
  bool listThreads = true, cpuRegisters = true, stackDump = true, showDisAsm = true;
  bool hideUglyItems = false, showRelativeAddrs = true, showRelativeLines = true;
  bool formatDisAsm = false;
  unsigned limitDisAsm = 5;
};
TReportOptions ReportOptionsFrom(const IRESettings& settings);

struct TPluginSection {
  std::u16string name;
  std::function<std::u16string()> text;  // may throw
};

struct TCompletionJob {
  IREFields* header = nullptr;
  IREFields* sections = nullptr;
  std::vector<TThreadStack>* threads = nullptr;
  TStackTracer* tracer = nullptr;
  TReportOptions options;
  bool frozen = false;
  std::size_t innerExceptionCount = 0;
  // The registers shown: the exception's, or the last inner exception's.
  std::optional<TThreadContext> registers;
  std::vector<TPluginSection> plugins;  // own-section plug-ins, in Plugins order
  TCodeNames names;                     // for the disassembly
  TParseOptions parse;
  std::function<std::u16string(std::uint32_t)> describeCreator;
  const std::atomic<bool>* abort = nullptr;
  IProgressAlert* progress = nullptr;  // the areas PrepareThreadSections added
};

inline constexpr char16_t kCallstackCrcField[] = u"callstack crc";

// The third checksum taking in another thread's stack checksum.
std::uint32_t ExtendThreadsChecksum(std::uint32_t checksum, std::uint32_t threadStackChecksum);

// Sets the section's content (when it exists and the job is not aborted),
// renaming it when a new title is given and the content is not empty, in
// one update bracket.
void ReplaceSection(IREFields& sections, const std::u16string& oldTitle, const std::u16string* newTitle,
                    const std::u16string& content, const std::atomic<bool>* abort);

// True when every step ran; an abort leaves the remaining placeholders.
bool CompleteBugReport(TCompletionJob& job);

}  // namespace ruvex
