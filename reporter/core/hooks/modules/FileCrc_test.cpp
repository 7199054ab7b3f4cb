#include "reporter/core/hooks/modules/FileCrc.h"

#include <gtest/gtest.h>

#include "reporter/archive/Crc32.h"
#include "reporter/engines/testing/TestPeBuilder.h"

namespace ruvex {
namespace {

using testing::TPeBuilder;

// A PE file with a slot in its data and a certificate table at its end.
std::string SignedImage(const std::string& certificate) {
  TPeBuilder b;
  std::vector<std::uint8_t> data(0x40, 0x11);
  const std::string tag = FileCrcSlotTag();
  data.insert(data.end(), tag.begin(), tag.end());
  data.insert(data.end(), 4, 0);
  b.sections.push_back({".data", 0x1000, data, 0xC0000040});
  std::vector<std::uint8_t> file = b.Build();
  const std::uint32_t at = static_cast<std::uint32_t>(file.size());
  // The security directory entry holds the table's file offset.
  const std::size_t dirs = 0x40 + 4 + 20 + 96;
  testing::Put32(file, dirs + 8 * 4, at);
  testing::Put32(file, dirs + 8 * 4 + 4, static_cast<std::uint32_t>(certificate.size()));
  std::string out(file.begin(), file.end());
  return out + certificate;
}

TEST(FileCrc, StampedFileMatchesUntilItsBytesChange) {
  const std::string file = SignedImage(std::string(64, 'C'));
  EXPECT_EQ(CheckFileCrc(file).state, TFileCrcState::notStamped);
  std::string error;
  const auto stamped = StampFileCrc(file, error);
  ASSERT_TRUE(stamped) << error;
  const TFileCrcResult result = CheckFileCrc(*stamped);
  EXPECT_EQ(result.state, TFileCrcState::matches);
  // The checksum is the plain CRC-32 of the file with its own bytes as zeros
  // and without the certificate table and its directory entry.
  const std::size_t slot = *FindFileCrcSlot(*stamped);
  std::string plain = *stamped;
  plain.replace(slot, 4, 4, '\0');
  const std::size_t entry = 0x40 + 4 + 20 + 96 + 8 * 4;
  plain.erase(plain.size() - 64);
  plain.erase(entry, 8);
  EXPECT_EQ(result.stored, Crc32Of(plain.data(), plain.size()));

  std::string tampered = *stamped;
  tampered[0x400 + 3] ^= 0x20;  // a byte of the data section
  EXPECT_EQ(CheckFileCrc(tampered).state, TFileCrcState::mismatch);
}

TEST(FileCrc, SigningAfterStampingKeepsTheFileWhole) {
  std::string error;
  const auto stamped = StampFileCrc(SignedImage(std::string(64, 'C')), error);
  ASSERT_TRUE(stamped);
  std::string resigned = stamped->substr(0, stamped->size() - 64) + std::string(64, 'D');
  EXPECT_EQ(CheckFileCrc(resigned).state, TFileCrcState::matches);
}

TEST(FileCrc, AFileWithoutOneSlotIsNotStamped) {
  std::string error;
  EXPECT_FALSE(StampFileCrc(std::string(100, 'x'), error));
  EXPECT_FALSE(error.empty());
  const std::string tag = FileCrcSlotTag();
  const std::string twice = tag + "\1\2\3\4" + tag + "\1\2\3\4";
  EXPECT_FALSE(FindFileCrcSlot(twice));
  EXPECT_EQ(CheckFileCrc(twice).state, TFileCrcState::notStamped);
  EXPECT_FALSE(FindFileCrcSlot(tag + "\1\2"));  // cut short
}

}  // namespace
}  // namespace ruvex
