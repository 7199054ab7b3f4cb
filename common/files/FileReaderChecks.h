#pragma once
// A check shared by the tests of every IFileSystem half: a reader gives the
// whole content in small chunks, and again from the start after a rewind.
#include <gtest/gtest.h>

#include <string>

#include "common/files/FileSystem.h"

namespace kelvane {

inline std::string ReadToEnd(IFileReader& reader, std::size_t chunkSize) {
  std::string all, chunk(chunkSize, '\0');
  while (const std::size_t n = reader.Read(chunk.data(), chunk.size())) all.append(chunk, 0, n);
  return all;
}

inline void ExpectReadsBack(IFileReader& reader, const std::string& content) {
  EXPECT_EQ(reader.Size(), content.size());
  EXPECT_EQ(ReadToEnd(reader, 255), content);  // the chunk size attachments are sent in
  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(ReadToEnd(reader, 4096), content);
}

}  // namespace kelvane
