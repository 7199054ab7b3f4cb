#include "reporter/plugins/processes/ProcessList.h"

#include <algorithm>

#include "common/text/FileNames.h"
#include "common/text/Format.h"
#include "common/text/Windows1252.h"
#include "reporter/plugins/lists/ListText.h"

namespace ruvex {

std::u16string NativePathToWin32(std::u16string path, std::u16string_view systemDirectory) {
  static constexpr std::u16string_view kSystemRoot = u"\\SystemRoot\\System32\\";
  if (kelvane::StartsWithIgnoreCase(path, kSystemRoot))
    return std::u16string(systemDirectory) + path.substr(kSystemRoot.size() - 1);
  if (path.starts_with(u"\\??\\")) return path.substr(4);
  return path;
}

std::vector<TProcessRow> GatherProcesses(IProcessSystem& system) {
  const bool windows9x = system.IsWindows9x();
  const std::vector<TProcessRecord> records = windows9x ? system.SnapshotProcesses() : system.SystemProcesses();
  std::u16string systemDirectory;
  std::vector<TProcessRow> rows;
  rows.reserve(64);
  for (const TProcessRecord& record : records) {
    std::u16string path = record.imageName;
    if (!windows9x) {
      if (path.empty()) {
        path = u"Idle";
      } else {
        if (auto full = system.ProcessImagePath(record.processId, kProcessQueryAndRead)) path = *full;
        if (systemDirectory.empty()) systemDirectory = system.SystemDirectory();
        path = NativePathToWin32(std::move(path), systemDirectory);
      }
    }
    TProcessRow row{record.processId, windows9x ? 0u : record.sessionId, kelvane::FileNameOf(path),
                    kelvane::FolderOf(path), {}};
    if (record.processId != 0)
      if (auto counters = system.ProcessCounters(record.processId, kProcessQueryInformation)) row.counters = *counters;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::u16string FormatProcessList(const std::vector<TProcessRow>& rows) {
  std::uint32_t largestId = 0;
  std::vector<std::u16string> names, sessions, gdi, user, priorities;
  for (const auto& row : rows) {
    largestId = std::max(largestId, row.processId);
    names.push_back(row.name);
    if (row.sessionId != 0) sessions.push_back(kelvane::DecimalText(row.sessionId));
    gdi.push_back(kelvane::DecimalText(row.counters.gdiObjects));
    user.push_back(kelvane::DecimalText(row.counters.userObjects));
    priorities.push_back(PriorityClassText(row.counters.priorityClass));
  }
  const unsigned idDigits = HexDigitCount(largestId);
  const std::size_t nameWidth = ColumnWidth(names), sessionWidth = ColumnWidth(sessions),
                    gdiWidth = ColumnWidth(gdi), userWidth = ColumnWidth(user),
                    priorityWidth = ColumnWidth(priorities);
  std::vector<std::u16string> lines;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::u16string line = HexColumn(rows[i].processId, idDigits) + u" " + Column(names[i], nameWidth);
    if (!sessions.empty()) line += Column(kelvane::DecimalText(rows[i].sessionId), sessionWidth);
    line += Column(gdi[i], gdiWidth) + Column(user[i], userWidth) + Column(priorities[i], priorityWidth) +
            rows[i].directory;
    lines.push_back(std::move(line));
  }
  return JoinLines(lines);
}

}  // namespace ruvex
