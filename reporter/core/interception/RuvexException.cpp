#include "reporter/core/interception/RuvexException.h"

#include "common/text/Utf.h"

namespace ruvex {

RuvexException::RuvexException(std::u16string message)
    : message_(std::move(message)), utf8_(kelvane::Utf16ToUtf8(message_)), inner_(std::current_exception()) {}

TStackInformation& RuvexException::AttachStackInformation() {
  if (!stackInformation_ || !stackInformation_->IsOurs()) stackInformation_ = std::make_shared<TStackInformation>();
  return *stackInformation_;
}

}  // namespace ruvex
