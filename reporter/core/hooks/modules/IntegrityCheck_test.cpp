#include "reporter/core/hooks/modules/IntegrityCheck.h"

#include <gtest/gtest.h>

#include "common/files/MemoryFileSystem.h"
#include "reporter/core/hooks/modules/FileCrc.h"

namespace ruvex {
namespace {

TEST(IntegrityCheck, ATamperedModuleShowsTheFaultMessage) {
  std::string error;
  const std::string module = *StampFileCrc("MZ..." + FileCrcSlotTag() + std::string(4, '\0') + "code", error);
  std::string tampered = module;
  tampered.back() = 'X';
  kelvane::TMemoryFileSystem files;
  files.Add(u"C:\\app\\whole.exe", module);
  files.Add(u"C:\\app\\tampered.exe", tampered);

  std::vector<std::u16string> shown;
  auto box = [&](const std::u16string& text) { shown.push_back(text); };
  const std::u16string message = u"The file \"tampered.exe\" seems to be corrupted!";
  EXPECT_TRUE(RunFileIntegrityCheck(files, u"C:\\app\\whole.exe", message, box));
  EXPECT_TRUE(RunFileIntegrityCheck(files, u"C:\\app\\missing.exe", message, box));
  EXPECT_TRUE(shown.empty());
  EXPECT_FALSE(RunFileIntegrityCheck(files, u"C:\\app\\tampered.exe", message, box));
  EXPECT_EQ(shown, std::vector<std::u16string>{message});
}

}  // namespace
}  // namespace ruvex
