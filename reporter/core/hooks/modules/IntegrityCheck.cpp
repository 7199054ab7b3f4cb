#include "reporter/core/hooks/modules/IntegrityCheck.h"

#include "reporter/core/hooks/modules/FileCrc.h"

namespace ruvex {
namespace {

// More than any module file; a larger one is not read whole.
constexpr std::uint64_t kMaxModuleFile = 1ull << 30;

std::optional<std::string> ReadWhole(kelvane::IFileSystem& files, const std::u16string& path) {
  const std::unique_ptr<kelvane::IFileReader> reader = files.OpenRead(path);
  if (!reader || reader->Size() > kMaxModuleFile) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (std::size_t n; (n = reader->Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  if (bytes.size() != reader->Size()) return std::nullopt;
  return bytes;
}

}  // namespace

bool RunFileIntegrityCheck(kelvane::IFileSystem& files, const std::u16string& moduleFile,
                           const std::u16string& bitFaultMsg, const TFaultBox& showFault) {
  const std::optional<std::string> file = ReadWhole(files, moduleFile);
  if (!file || CheckFileCrc(*file).state != TFileCrcState::mismatch) return true;
  if (showFault) showFault(bitFaultMsg);
  return false;
}

}  // namespace ruvex
