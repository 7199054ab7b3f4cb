#pragma once
// The start-up integrity check of a module file (see FileCrc.h): on a
// mismatch the user is told through a box.
#include <functional>
#include <string>

#include "common/files/FileSystem.h"

namespace ruvex {

// Shows the (already expanded) BitFaultMsg text.
using TFaultBox = std::function<void(const std::u16string& text)>;

// Checks `moduleFile`; on a mismatch shows `bitFaultMsg` and returns false.
// A file that cannot be read or carries no checksum is not judged (true).
bool RunFileIntegrityCheck(kelvane::IFileSystem& files, const std::u16string& moduleFile,
                           const std::u16string& bitFaultMsg, const TFaultBox& showFault);

}  // namespace ruvex
