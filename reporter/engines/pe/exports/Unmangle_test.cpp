#include "reporter/engines/pe/exports/Unmangle.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

struct TCase {
  const char* mangled;
  const char* readable;
  const char* unit;
  bool decorated;
};

const TCase kCases[] = {
    {"@Unit1@TForm1@Button1Click$qqrp14System@TObject", "TForm1.Button1Click", "Unit1", true},
    {"@Unit1@TFoo@$bctr$qqrv", "TFoo.Create", "Unit1", true},
    {"@Unit1@TFoo@$bdtr$qqrv", "TFoo.Destroy", "Unit1", true},
    {"@System@@HandleAnyException$qqrv", "@HandleAnyException", "System", true},
    {"@Halt0$qqrv", "Halt0", "", true},
    {"@Sysutils@Exception@", "Exception.Create", "Sysutils", true},
    {"@Vcl::Forms@TForm@Show$qqrv", "TForm.Show", "Vcl.Forms", true},
    {"@A@", "@A.Create", "", true},       // too short for a unit: it stays in the name
    {"@Unit@Foo. ", "Foo.?", "Unit", true},  // a dot left after trimming gets "?"
    {"GetProcAddress", "GetProcAddress", "", false},
    {"_main@8", "_main@8", "", false},
    {"", "", "", false},
};

TEST(UnmangleName, ByteAndWideFormsAgree) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.mangled);
    std::string readable, unit = "stale";
    EXPECT_EQ(UnmangleName(c.mangled, readable, unit), c.decorated);
    EXPECT_EQ(readable, c.readable);
    EXPECT_EQ(unit, c.unit);

    std::u16string wideReadable, wideUnit;
    EXPECT_EQ(UnmangleName(kelvane::U16(c.mangled), wideReadable, wideUnit), c.decorated);
    EXPECT_EQ(wideReadable, kelvane::U16(c.readable));
    EXPECT_EQ(wideUnit, kelvane::U16(c.unit));
  }
}

}  // namespace
}  // namespace ruvex
