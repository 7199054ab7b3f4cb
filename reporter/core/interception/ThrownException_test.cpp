#include "reporter/core/interception/ThrownException.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "reporter/core/interception/RuvexException.h"

using namespace ruvex;

namespace app {
struct EAbort : std::exception {};
struct TSaveError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct TMixin {
  virtual ~TMixin() = default;
};
struct TBoth : TSaveError, TMixin {
  TBoth() : TSaveError("both") {}
};
}  // namespace app

template <class T>
struct TBox : std::exception {};

TEST(ThrownException, ClassChainsNameTheClassThenItsAncestors) {
  using TChain = std::vector<std::u16string>;
  EXPECT_EQ(ThrownClassChain(&typeid(app::TSaveError)), (TChain{u"TSaveError", u"runtime_error", u"exception"}));
  EXPECT_EQ(ThrownClassChain(&typeid(app::TBoth)),
            (TChain{u"TBoth", u"TSaveError", u"runtime_error", u"exception"}))
      << "with several bases, the first one";
  EXPECT_EQ(ThrownClassChain(&typeid(app::EAbort)), (TChain{u"EAbort", u"exception"}))
      << "the abort class is known in any namespace";
  EXPECT_EQ(ThrownClassChain(&typeid(int)), (TChain{u"int"}));
  EXPECT_EQ(ThrownClassChain(nullptr), TChain{});
  EXPECT_EQ(ClassNameWithoutNamespace(u"TBox<app::TSaveError>"), u"TBox<app::TSaveError>");
  EXPECT_EQ(ThrownClassChain(&typeid(TBox<app::TSaveError>)).front(), u"TBox<app::TSaveError>");
}

TEST(ThrownException, MessagesOfTheKindsThatHaveOne) {
  EXPECT_EQ(ThrownMessage(std::make_exception_ptr(RuvexException(u"Gr\u00fc\u00dfe"))), u"Gr\u00fc\u00dfe");
  EXPECT_EQ(ThrownMessage(std::make_exception_ptr(app::TSaveError("disk \xe2\x82\xac full"))), u"disk \u20ac full");
  EXPECT_EQ(ThrownMessage(std::make_exception_ptr(42)), u"");
  EXPECT_EQ(ThrownMessage(nullptr), u"");
}
