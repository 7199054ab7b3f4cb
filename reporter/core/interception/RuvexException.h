#pragma once
// The reporter's own exception class: a message, the exception that was
// being handled when it was raised (its inner exception), and the stack
// information the raising notification attaches.
#include <exception>
#include <memory>
#include <string>

#include "reporter/core/interception/StackInformation.h"

namespace ruvex {

class RuvexException : public std::exception {
 public:
  // The inner exception is the one this thread is handling now, if any.
  explicit RuvexException(std::u16string message);
  const char* what() const noexcept override { return utf8_.c_str(); }
  const std::u16string& Message() const { return message_; }
  std::exception_ptr InnerException() const { return inner_; }
  // Null until the exception was raised through the notification.
  const TStackInformation* StackInformation() const { return stackInformation_.get(); }
  // Attaches a zero-filled record unless one is there already; the record
  // to fill.
  TStackInformation& AttachStackInformation();

 private:
  std::u16string message_;
  std::string utf8_;
  std::exception_ptr inner_;
  // Shared: the runtime copies exception objects, the record stays one.
  std::shared_ptr<TStackInformation> stackInformation_;
};

}  // namespace ruvex
