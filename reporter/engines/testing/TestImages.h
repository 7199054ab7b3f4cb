#pragma once
// Real PE images for the engines' tests.
//
// scripts/fetch-test-images.sh unpacks the i386 Windows DLLs of Debian's
// libwine:i386 package into $KELVANE_SOURCE_DIR/build/test-images/i386-windows/
// (scripts/test runs it before the builds). A test that needs one of them
// fails, with a hint, when it is missing: a silent skip would hide lost
// coverage. The project's own 32-bit program is
// $KELVANE_SOURCE_DIR/build/win32/bin/Kelvane.exe, present once the win32
// preset has been built.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace ruvex::testing {

inline std::string SourceDir() {
  const char* dir = std::getenv("KELVANE_SOURCE_DIR");
  return dir ? dir : ".";
}

inline std::string TestImageDir() { return SourceDir() + "/build/test-images/i386-windows"; }

inline bool FileExists(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

// Use as ASSERT_TRUE(FindTestImage("kernel32.dll", path)).
inline ::testing::AssertionResult FindTestImage(const std::string& name, std::string& path) {
  path = TestImageDir() + "/" + name;
  if (FileExists(path)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "test image " << path
                                       << " is missing: run scripts/fetch-test-images.sh";
}

// 64-bit (PE32+) images: the x86-64 Windows DLLs of the installed wine64
// (package libwine:amd64, which scripts/ensure-deps.sh brings in).
inline std::string Wine64ImageDir() { return "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"; }

inline ::testing::AssertionResult FindTestImage64(const std::string& name, std::string& path) {
  path = Wine64ImageDir() + "/" + name;
  if (FileExists(path)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "64-bit test image " << path << " is missing: install wine64";
}

// The project's 32-bit program, or empty when the win32 build is not there.
inline std::string OwnWin32Program() {
  const std::string path = SourceDir() + "/build/win32/bin/Kelvane.exe";
  return FileExists(path) ? path : std::string();
}

#ifndef _WIN32
// Standard output of a shell command (native tests only: the oracles are
// Linux programs).
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}
#endif

}  // namespace ruvex::testing
