#pragma once
// The files beside a module that symbol information may come from. They are
// read through the program's file system (common/FileSystem.h): the
// platform's files in the program, memory in tests.
#include <cstdint>
#include <string>

#include "common/files/FileSystem.h"

namespace ruvex {

using kelvane::IFileSystem;

// Debug files larger than this are refused rather than read.
constexpr std::uint64_t kMaxDebugFileSize = 256u << 20;

// The module path with its extension (from the last ".") replaced.
std::u16string SiblingPath(const std::u16string& modulePath, const std::u16string& extension);

}  // namespace ruvex
