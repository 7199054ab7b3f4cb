#include "reporter/core/extensions/AssistantResults.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(AssistantResults, FieldsAndSectionsOfFormsClosedWithOk) {
  TIREFields header, sections;
  header.SetContent(u"date/time", u"2024-03-07");
  header.SetContent(u"callstack crc", u"soon");
  header.SetAddIndex(1);
  header.SetContent(u"Name", u"old");
  std::vector<TAssistantFormResult> forms{
      {true,
       {{false, u"name", u"Jo", false, false},                  // replaces, case-insensitively
        {true, u"reproducible", u"", false, false},             // check box: "no"
        {false, u"steps", u"one\ntwo", false, true},             // several lines, own section
        {false, u"summary", u"one line", false, true},           // one line stays a field
        {false, u"", u"no output name", false, false},
        {false, u"empty", u"", false, false}}},
      {false, {{false, u"cancelled", u"x", false, false}}},
  };
  ApplyAssistantResults(forms, header, sections);
  std::vector<TIREFields::TItem> expectedHeader{{u"date/time", u"2024-03-07"}, {u"name", u"Jo"},
                                                {u"reproducible", u"no"},     {u"summary", u"one line"},
                                                {u"callstack crc", u"soon"}};
  EXPECT_EQ(header.Items(), expectedHeader);
  EXPECT_EQ(sections.Items(), (std::vector<TIREFields::TItem>{{u"steps", u"one\ntwo"}}));
}
