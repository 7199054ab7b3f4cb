// This test program is built with the symbol tool's step (see
// CMakeLists.txt): its ".ruvex" file beside it carries the units, functions
// and lines of its own image. Looking up its own functions through the
// process's symbol cache must give their unit, name and line.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/text/Utf.h"
#include "reporter/engines/symbols/sources/SymbolCache.h"

namespace ruvex::ownsymbols {

constexpr int kFirstLine = __LINE__ + 1;
__attribute__((noinline)) int KnownFunctionForSymbols(int x) {
  volatile int y = x * 3;
  return y + 1;
}

constexpr int kSecondLine = __LINE__ + 1;
__attribute__((noinline)) int AnotherKnownFunction(int x) {
  volatile int y = x - 5;
  return KnownFunctionForSymbols(y) * 2;
}

namespace {

Address AddressOf(int (*f)(int)) { return reinterpret_cast<Address>(f); }

TEST(OwnSymbols, OwnFunctionsResolveToUnitNameAndLine) {
  const std::unique_ptr<ISymbolHost> host = CreateProcessSymbolHost();
  ASSERT_TRUE(host);
  TSymbolCache cache(*host);
  const std::shared_ptr<const TMapFile> map = cache.LookupModuleSymbols(0);
  ASSERT_TRUE(map->IsValid()) << "no symbols for " << kelvane::Utf16ToUtf8(host->ModuleFileName(host->OwnModule()))
                              << ": the .ruvex file of the build step is missing";
  struct Case {
    int (*function)(int);
    const char* name;
    int line;
  };
  const Case cases[] = {
      {&KnownFunctionForSymbols, "ruvex::ownsymbols::KnownFunctionForSymbols(int)", kFirstLine},
      {&AnotherKnownFunction, "ruvex::ownsymbols::AnotherKnownFunction(int)", kSecondLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Address a = AddressOf(c.function);
    const std::optional<TAddressSymbolInfo> info = cache.AddressSymbolInfo(a + 1);
    ASSERT_TRUE(info);
    EXPECT_EQ("OwnSymbols_test_win.cpp", kelvane::Utf16ToUtf8(info->unit));
    EXPECT_EQ(c.name, kelvane::Utf16ToUtf8(info->publicName));
    EXPECT_EQ(a, info->publicAddress);
    EXPECT_EQ(c.line, map->FindLine(a));
    // The body's lines follow the signature.
    const int body = cache.AddressSymbolInfo(a + 8)->line;
    EXPECT_GE(body, c.line);
    EXPECT_LE(body, c.line + 3);
    EXPECT_EQ("OwnSymbols_test_win.cpp." + std::string(c.name), kelvane::Utf16ToUtf8(cache.ProcNameAt(a)));
  }
  EXPECT_EQ(20, AnotherKnownFunction(8));  // the functions are real code
  // 0 asks about the caller's own place: this test.
  const std::optional<TAddressSymbolInfo> here = cache.AddressSymbolInfo(0);
  ASSERT_TRUE(here);
  EXPECT_NE(std::string::npos, kelvane::Utf16ToUtf8(here->publicName).find("OwnFunctionsResolveToUnitNameAndLine"));
  // The process-wide cache answers the same.
  EXPECT_EQ("OwnSymbols_test_win.cpp.ruvex::ownsymbols::AnotherKnownFunction(int)",
            kelvane::Utf16ToUtf8(ProcNameAt(AddressOf(&AnotherKnownFunction))));
  std::int32_t line = 0;
  Address start = 0, end = 0;
  LineNumberAt(AddressOf(&AnotherKnownFunction), line, start, end);
  EXPECT_EQ(kSecondLine, line);
  EXPECT_GT(end, start);
  // Functions of the runtime carry names too.
  EXPECT_FALSE(cache.AddressSymbolInfo(reinterpret_cast<Address>(&::memcmp))->publicName.empty());
}

}  // namespace
}  // namespace ruvex::ownsymbols
