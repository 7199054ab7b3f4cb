#include "reporter/ui/assistant/AssistantResults.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

TEST(AssistantResults, OkFormsGiveHeaderFieldsAndSections) {
  TNVAssistant assistant;
  auto& contact = *assistant.FForms.emplace_back(std::make_unique<TNVForm>(u"Contact"));
  contact.FModalResult = nvmOk;
  auto& name = contact.Add<TNVEdit>(u"Name");
  name.FOutputName = u"contact name";
  name.FText = u"Ada";
  contact.Add<TNVEdit>(u"Empty").FOutputName = u"empty";
  contact.Add<TNVEdit>(u"Unnamed").FText = u"not reported";
  auto& remember = contact.Add<TNVCheckBox>(u"Remember");
  remember.FOutputName = u"remember";
  auto& memo = contact.Add<TNVEdit>(u"Memo");
  memo.FOutputName = u"what happened";
  memo.FOutputType = otOwnSection;
  memo.FLines = 5;
  memo.FText = u"one\r\ntwo";
  auto& oneLine = contact.Add<TNVEdit>(u"OneLine");
  oneLine.FOutputName = u"summary";
  oneLine.FOutputType = otOwnSection;  // one line: still a header field
  oneLine.FText = u"short";

  auto& skipped = *assistant.FForms.emplace_back(std::make_unique<TNVForm>(u"Skipped"));
  skipped.FModalResult = nvmSkip;
  auto& lost = skipped.Add<TNVCheckBox>(u"Lost");
  lost.FOutputName = u"lost";

  TIREFields header, sections;
  header.SetContent(u"Contact Name", u"old");  // replaced, keeps its place
  AddAssistantResults(assistant, header, sections);
  ASSERT_EQ(header.GetItemCount(), 3);
  EXPECT_EQ(header.GetContentAt(0), u"Ada");
  EXPECT_EQ(header.GetItem(1), u"remember");
  EXPECT_EQ(header.GetContentAt(1), u"no");
  EXPECT_EQ(header.GetContent(u"summary"), u"short");
  ASSERT_EQ(sections.GetItemCount(), 1);
  EXPECT_EQ(sections.GetContent(u"what happened"), u"one\r\ntwo");
  EXPECT_EQ(header.FindItem(u"lost"), -1);
}

}  // namespace
