#include "reporter/core/properties/PropertyKinds.h"

#include <gtest/gtest.h>

#include "reporter/core/properties/SettingsText.h"

namespace ruvex {
namespace {

struct TCase {
  const char* line;
  TPropertyType typ;
  std::int32_t vInt;
  bool vBool;
};

TEST(PropertyKinds, ValuesTakeTheKindTheReporterReads) {
  const TCase cases[] = {
      {"Enabled = True", ptBoolean, 0, true},
      {"Enabled = 1", ptBoolean, 0, true},  // read as a boolean, not an integer the boolean read sees as false
      {"Enabled = 0", ptBoolean, 0, false},
      {"GnShowCfg = ssNothing", ptInteger, 4, false},
      {"GnShowCfg = SSNOTHING", ptInteger, 4, false},
      {"F1ShowCfg = 2", ptInteger, 2, false},
      {"FocusedBtn = bCloseApplication", ptInteger, 6, false},
      {"DupFreezeDef = ddAllStacksIdentical", ptInteger, 2, false},
      {"AutoRestart = 120", ptInteger, 120, false},
      {"SmtpServer = 'mail.example.org'", ptString, 0, false},
      {"SmtpServer = SomeIdentifier", ptString, 0, false},
      // Read by the reporter although the default table leaves them out.
      {"MinDebugInfo = 'abc'", ptString, 0, false},
      {"CrashOnBuffer = 1", ptBoolean, 0, true},
      {"Assistant12 = 'ContactForm'", ptString, 0, false},
  };
  for (const TCase& c : cases) {
    TSettingsTextResult r = ParseSettingsText(c.line);
    ASSERT_TRUE(r.Ok()) << c.line;
    EXPECT_EQ(CheckPropertyKinds(r.properties, r.lines), "") << c.line;
    ASSERT_EQ(r.properties.size(), 1u);
    EXPECT_EQ(r.properties[0].typ, c.typ) << c.line;
    EXPECT_EQ(r.properties[0].vInt, c.vInt) << c.line;
    EXPECT_EQ(r.properties[0].vBool, c.vBool) << c.line;
  }
}

TEST(PropertyKinds, UnknownNamesAndWrongKindsAreRefusedWithTheirLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"Enabled = True\nEnable = True", "line 2: unknown property 'Enable'"},
      {"# comment\n\nEnabled = 2", "line 3: Enabled takes True, False, 1 or 0"},
      {"Enabled = 'yes'", "line 1: Enabled takes True, False, 1 or 0"},
      {"AutoRestart = True", "line 1: AutoRestart takes an integer"},
      {"MailAddr = 12", "line 1: MailAddr takes a quoted string"},
      {"MinDebugInfo = 5", "line 1: MinDebugInfo takes a quoted string"},
      {"AssistantX = 'a'", "line 1: unknown property 'AssistantX'"},
      {"GnShowCfg = ssEverything",
       "line 1: GnShowCfg takes one of ssFullBox, ssAssistant, ssDetailBox, ssSimpleBox, ssNothing or its number 0 to 4"},
      {"GnShowCfg = 5",
       "line 1: GnShowCfg takes one of ssFullBox, ssAssistant, ssDetailBox, ssSimpleBox, ssNothing or its number 0 to 4"},
      {"DupExceptDef = True",
       "line 1: DupExceptDef takes one of ddExceptAddrIdentical, ddCrashStackIdentical, ddAllStacksIdentical or its "
       "number 0 to 2"},
  };
  for (const auto& c : cases) {
    TSettingsTextResult r = ParseSettingsText(c.text);
    ASSERT_TRUE(r.Ok()) << c.text;
    EXPECT_EQ(CheckPropertyKinds(r.properties, r.lines), c.error) << c.text;
  }
}

}  // namespace
}  // namespace ruvex
