#pragma once
// The launcher's failures. Every error the launcher and its services raise
// derives from ELauncherError; the main routine turns any of them into exit
// code 1 and passes it on to the top-level handling, which shows the class
// name and the message.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/text/Utf.h"

namespace kelvane {

class ELauncherError : public std::runtime_error {
 public:
  explicit ELauncherError(std::u16string message)
      : std::runtime_error(Utf16ToUtf8(message)), message_(std::move(message)) {}

  const std::u16string& Message() const { return message_; }
  // The name the top-level error box shows.
  virtual const char* ClassName() const { return "ELauncherError"; }

 private:
  std::u16string message_;
};

// Malformed path text: invalid characters, or a path too long to take apart.
class EPathError : public ELauncherError {
 public:
  using ELauncherError::ELauncherError;
  const char* ClassName() const override { return "EPathError"; }
};

// A standard stream that cannot be written or read; carries the error code.
class EInOutError : public ELauncherError {
 public:
  EInOutError(std::u16string message, std::uint32_t code) : ELauncherError(std::move(message)), code_(code) {}
  std::uint32_t Code() const { return code_; }
  const char* ClassName() const override { return "EInOutError"; }

 private:
  std::uint32_t code_;
};

// A registry value of the wrong type.
class ERegistryError : public ELauncherError {
 public:
  using ELauncherError::ELauncherError;
  const char* ClassName() const override { return "ERegistryError"; }
};

// A file that exists but cannot be opened for reading.
class EFileOpenError : public ELauncherError {
 public:
  using ELauncherError::ELauncherError;
  const char* ClassName() const override { return "EFileOpenError"; }
};

}  // namespace kelvane
