#include "reporter/core/interception/RuvexException.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace ruvex;

TEST(RuvexException, KeepsTheExceptionBeingHandledAsInner) {
  try {
    try {
      throw std::runtime_error("disk full");
    } catch (...) {
      throw RuvexException(u"Saving failed \u20ac");
    }
  } catch (const RuvexException& outer) {
    EXPECT_STREQ(outer.what(), "Saving failed \xe2\x82\xac");
    ASSERT_TRUE(outer.InnerException());
    try {
      std::rethrow_exception(outer.InnerException());
    } catch (const std::runtime_error& inner) {
      EXPECT_STREQ(inner.what(), "disk full");
    }
  }
  EXPECT_FALSE(RuvexException(u"alone").InnerException());
}

TEST(RuvexException, StackInformationIsOneTaggedRecordAcrossCopies) {
  RuvexException raised(u"x");
  EXPECT_EQ(raised.StackInformation(), nullptr);
  TStackInformation& record = raised.AttachStackInformation();
  EXPECT_TRUE(record.IsOurs());
  EXPECT_FALSE(record.Usable()) << "zero-filled until the raise fills it";
  record.raiseAddress = 0x1234;
  record.filled = true;
  const RuvexException copy = raised;
  EXPECT_EQ(&raised.AttachStackInformation(), copy.StackInformation()) << "an attached record is kept";
  EXPECT_EQ(copy.StackInformation()->raiseAddress, 0x1234u);
}
