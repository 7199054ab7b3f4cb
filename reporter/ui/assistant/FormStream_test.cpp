#include "reporter/ui/assistant/FormStream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "reporter/engines/testing/TestImages.h"

using namespace ruvex;

namespace {

// Streams written by Free Pascal's ObjectTextToBinary (see fixtures/).
std::string Fixture(const std::string& name) {
  const std::string path = ruvex::testing::SourceDir() + "/reporter/ui/assistant/fixtures/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

template <class T>
T& ItemAs(const TNVForm& form, std::u16string_view name) {
  auto* item = dynamic_cast<T*>(form.ItemByName(name));
  EXPECT_NE(item, nullptr);
  static T none(nullptr, u"");
  return item ? *item : none;
}

TEST(FormStream, ContactFormFromFreePascal) {
  TNVForm form;
  const TFormStreamRead read = ReadFormStream(Fixture("contact.bin"), form);
  EXPECT_TRUE(read.signatureMatches);
  EXPECT_FALSE(read.invalidType);
  EXPECT_FALSE(read.truncated);
  EXPECT_EQ(form.FName, u"ContactForm");
  EXPECT_EQ(form.FMessage, u"Who are you?");
  EXPECT_EQ(form.FActiveControl, u"EmailEdit");
  EXPECT_EQ(form.FOnActionName, u"RuvexExcept.HandleContactForm");
  EXPECT_EQ(form.FMinWidth, 400);
  EXPECT_EQ(form.FTimer, 1500);

  const std::u16string order[] = {u"ContinueBtn", u"SkipBtn",   u"CancelBtn", u"NameLabel",
                                  u"NameEdit",    u"EmailLabel", u"EmailEdit", u"MemCheck"};
  ASSERT_EQ(form.ItemCount(), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(form.Item(i)->FName, order[i]);
    EXPECT_EQ(form.Item(i)->FIndex, i);
  }
  EXPECT_EQ(ItemAs<TNVLabel>(form, u"NameLabel").FCaption, u"Your name:");
  EXPECT_TRUE(ItemAs<TNVEdit>(form, u"NameEdit").FOptional);
  EXPECT_EQ(ItemAs<TNVEdit>(form, u"NameEdit").FOutputName, u"contact name");
  EXPECT_TRUE(ItemAs<TNVEdit>(form, u"EmailEdit").FNValid);
  EXPECT_TRUE(ItemAs<TNVCheckBox>(form, u"MemCheck").FChecked);
  EXPECT_EQ(ItemAs<TNVCheckBox>(form, u"MemCheck").FCaption, u"remember me");
}

TEST(FormStream, ButtonsUnknownClassesAndEveryValueForm) {
  TNVForm form;
  const TFormStreamRead read = ReadFormStream(Fixture("details.bin"), form);
  EXPECT_FALSE(read.invalidType || read.truncated);
  // "AbortBtn" configures the built-in Cancel; a new button name adds one.
  EXPECT_EQ(form.CancelButton().FCaption, u"Stop");
  EXPECT_TRUE(form.CancelButton().FNoOwnerDraw);
  EXPECT_TRUE(form.SkipButton().FInvisible);
  EXPECT_EQ(ItemAs<TNVButton>(form, u"HelpBtn").FMinWidth, 90);
  EXPECT_EQ(ItemAs<TNVButton>(form, u"HelpBtn").FIndex, 3);
  // A wide string (type 18) from the writer.
  EXPECT_EQ(ItemAs<TNVLabel>(form, u"IntroLabel").FCaption,
            u"Bitte beschreiben Sie, was Sie getan haben \u2014 \u4e2d\u6587");
  EXPECT_EQ(ItemAs<TNVLabel>(form, u"IntroLabel").FSpacing, 10);
  const TNVEdit& details = ItemAs<TNVEdit>(form, u"DetailsEdit");
  EXPECT_EQ(details.FLines, 5);
  EXPECT_EQ(details.FText, u"step one\r\nstep two");
  EXPECT_EQ(details.FOutputType, otOwnSection);  // an identifier value
  EXPECT_TRUE(details.FNColored);
  // The child of an unknown class is passed over and leaves the form alone.
  EXPECT_EQ(form.ItemByName(u"Choice"), nullptr);
  EXPECT_EQ(form.FMessage, u"What happened?");
  EXPECT_EQ(ItemAs<TNVCheckBox>(form, u"ShotCheck").FCaption, u"attach a screenshot");
  EXPECT_FALSE(ItemAs<TNVCheckBox>(form, u"ShotCheck").FEnabled);
  const TNVImage& image = ItemAs<TNVImage>(form, u"ShotImage");
  EXPECT_EQ(image.FRect.width, 200);
  EXPECT_EQ(image.FRect.height, 150);
  EXPECT_EQ(image.FFile, u"shot.bmp");
  EXPECT_TRUE(image.FClickable);
  EXPECT_TRUE(image.FBorder);
  EXPECT_EQ(form.ItemCount(), 3 + 5);
}

TEST(FormStream, ExtendedValueStopsWithItsNumber) {
  TNVForm form;
  const TFormStreamRead read = ReadFormStream(Fixture("invalid-type.bin"), form);
  ASSERT_TRUE(read.invalidType);
  EXPECT_EQ(*read.invalidType, 5);
  EXPECT_EQ(InvalidAssistantMessage(*read.invalidType), u"Internal error: Invalid assistant resource (5).");
  EXPECT_EQ(form.FMessage, u"read before the fault");
  EXPECT_EQ(form.FMinWidth, 0);  // after the fault: not read
}

TEST(FormStream, DamagedStreamsKeepTheButtonsAndStopInside) {
  const std::string contact = Fixture("contact.bin");
  const std::string deep = std::string("TPF0") + [] {
    std::string nested;
    for (int i = 0; i < 100; ++i) nested += std::string("\x01" "A" "\x01" "B" "\x00", 5);
    return nested;
  }();
  struct TCase {
    std::string stream;
    bool signature, truncated;
    int items;
  } cases[] = {
      {"", false, false, 3},
      {"TPF1" + contact.substr(4), false, false, 3},
      {contact.substr(0, contact.size() - 1), true, true, 8},  // final end marker missing
      {contact.substr(0, 40), true, true, 3},
      {deep, true, true, 3},
  };
  for (const auto& c : cases) {
    TNVForm form;
    const TFormStreamRead read = ReadFormStream(c.stream, form);
    EXPECT_EQ(read.signatureMatches, c.signature) << c.stream.size();
    EXPECT_EQ(read.truncated, c.truncated) << c.stream.size();
    EXPECT_EQ(form.ItemCount(), c.items) << c.stream.size();
  }
}

TEST(FormStream, ResourceNameIsUpperCase) {
  EXPECT_EQ(FormResourceName(u"ScrShotForm"), u"TRESCRSHOTFORM");
}

}  // namespace
