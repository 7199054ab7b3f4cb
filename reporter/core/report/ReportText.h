#pragma once
// The text of a bug report: the header as aligned "name : value" lines, then
// one titled block per section.
#include <string>
#include <string_view>
#include <vector>

#include "reporter/core/fields/Fields.h"

namespace ruvex {

// What a section holds and "callstack crc" reads until completion.
inline constexpr std::u16string_view kSectionPending = u">> will be calculated soon";
inline constexpr std::u16string_view kCallstackCrcPending = u"will be calculated soon";

using TReportItems = std::vector<TIREFields::TItem>;

// Each name padded with spaces to one more than the longest name, then
// ": " and the value on one line; lines joined by CR LF, none after the last.
std::u16string RenderHeader(const TReportItems& header);

// For each section: a blank line, the title (the name and ":" unless the
// name has one), then each content line after CR LF, trailing blanks
// removed, an empty line shown as "." when dotEmptyLines is on.
std::u16string RenderSections(const TReportItems& sections, bool dotEmptyLines = true);

std::u16string RenderBugReport(const TReportItems& header, const TReportItems& sections,
                               bool dotEmptyLines = true);

// What the first section list holds before completion.
struct TSectionPlan {
  std::vector<std::u16string> threadSections;  // the crashed thread first
  std::vector<std::u16string> pluginSections;  // own-section plug-ins, in order
  bool cpuRegisters = false;                   // CpuRegs and a processor context
  bool stackDump = false;                      // StackDump and a context
  bool disassembling = false;                  // ShowDisAsm and a disassembler
};

// Every planned section with the pending placeholder.
TReportItems InitialSections(const TSectionPlan& plan);

}  // namespace ruvex
