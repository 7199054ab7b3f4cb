#include "reporter/ui/assistant/NVAssistant.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "reporter/engines/pe/headers/ImageMemory.h"
#include "reporter/engines/testing/TestImages.h"
#include "reporter/engines/testing/TestPeBuilder.h"

using namespace ruvex;

namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(ruvex::testing::SourceDir() + "/reporter/ui/assistant/fixtures/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Plays each form's part as a scripted window: the result it ends with, by
// form name; records what it was asked.
class TFakeFormWindows final : public IFormWindows {
 public:
  std::map<std::u16string, TNVModalResult> results;
  std::vector<std::u16string> shown;
  std::vector<bool> parentStates;

  void EnableParent(kelvane::TWindowHandle, bool enable) override { parentStates.push_back(enable); }
  TNVModalResult ShowModal(TNVForm& form, kelvane::TWindowHandle) override {
    if (!form.BeginShow()) return nvmSkip;
    shown.push_back(form.FName);
    const TNVModalResult result = results.count(form.FName) ? results[form.FName] : nvmOk;
    if (result == nvmOk) {
      for (auto& item : form.FItems)
        if (auto* edit = dynamic_cast<TNVEdit*>(item.get())) edit->FText = u"typed";
      return form.PressButton(kContinueButtonIndex);
    }
    return form.PressButton(result == nvmSkip ? kSkipButtonIndex : kCancelButtonIndex);
  }
};

TEST(NVAssistant, BuildsOneStepPerStreamAndResolvesHandlers) {
  std::vector<std::u16string> messages, resolved, created;
  int creates = 0;
  TAssistantBuild how;
  how.showMessage = [&](std::u16string_view text, std::u16string_view caption) {
    messages.push_back(std::u16string(text) + u"|" + std::u16string(caption));
  };
  how.resolveHandler = [&](std::u16string_view name) -> TNVActionHandler {
    resolved.emplace_back(name);
    return [&](TNVAction action, TNVForm&, TNVItem*, IREException*) { creates += action == nvaFormCreate; };
  };
  how.createdHook = [&](TNVAssistant& a) { created.push_back(a.Title()); };
  auto assistant =
      BuildAssistant(u"Send", {Fixture("contact.bin"), "", Fixture("invalid-type.bin")}, how);
  ASSERT_EQ(assistant->FormCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(assistant->Form(i)->FStep, i + 1);
    EXPECT_EQ(assistant->Form(i)->FSteps, 3);
    EXPECT_EQ(assistant->Form(i)->FTitle, u"Send");
  }
  EXPECT_EQ(assistant->Form(1)->ItemCount(), 3);  // a missing resource: buttons only
  EXPECT_EQ(assistant->FormByName(u"contactform"), assistant->Form(0));
  EXPECT_EQ(resolved, std::vector<std::u16string>{u"RuvexExcept.HandleContactForm"});
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(messages, std::vector<std::u16string>{u"Internal error: Invalid assistant resource (5).|RuvexExcept"});
  EXPECT_EQ(created, std::vector<std::u16string>{u"Send"});
  assistant->SetTitle(u"Again");
  EXPECT_EQ(assistant->Form(2)->FTitle, u"Again");
}

TEST(NVAssistant, RunsFormsInOrderUntilOneIsCancelled) {
  auto assistant = BuildAssistant(u"A", {Fixture("contact.bin"), Fixture("details.bin")}, {});
  TFakeFormWindows windows;
  EXPECT_EQ(assistant->RunModal(kelvane::TWindowHandle(1), windows), nvmOk);
  EXPECT_EQ(windows.shown, (std::vector<std::u16string>{u"ContactForm", u"DetailsForm"}));
  EXPECT_FALSE(windows.parentStates.empty());
  EXPECT_TRUE(windows.parentStates.back());  // the parent is enabled again

  windows = {};
  windows.results[u"ContactForm"] = nvmSkip;
  EXPECT_EQ(assistant->RunModal(kelvane::TWindowHandle(1), windows), nvmOk);
  EXPECT_EQ(assistant->Form(0)->FModalResult, nvmSkip);

  windows = {};
  windows.results[u"ContactForm"] = nvmCancel;
  EXPECT_EQ(assistant->RunModal(kelvane::TWindowHandle(1), windows), nvmCancel);
  EXPECT_EQ(windows.shown, std::vector<std::u16string>{u"ContactForm"});
  EXPECT_TRUE(windows.parentStates.back());

  // A form already marked to skip is not shown at all.
  windows = {};
  assistant->Form(0)->FSkip = true;
  EXPECT_EQ(assistant->RunModal(kelvane::TWindowHandle(1), windows), nvmOk);
  EXPECT_EQ(windows.shown, std::vector<std::u16string>{u"DetailsForm"});
}

// Two images with RCDATA form resources: the module, and a resource
// instance (a language module) that holds only the contact form.
TEST(NVAssistant, ReadsAllFormsFromTheSourceOfTheFirst) {
  auto image = [](std::uint64_t base, std::vector<ruvex::testing::TTestResource> resources) {
    ruvex::testing::TPeBuilder b;
    b.imageBase = base;
    b.sections.push_back({".text", 0x1000, std::vector<std::uint8_t>(16, 0xC3)});
    b.AddResources(0x2000, resources);
    return b.Build();
  };
  auto bytes = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
  TImageMemory memory;
  ASSERT_TRUE(memory.AddImage(image(0x10000000, {{u"", 10, u"TRECONTACTFORM", 0, bytes(Fixture("contact.bin"))},
                                                 {u"", 10, u"TREDETAILSFORM", 0, bytes(Fixture("details.bin"))}}),
                              u"module.exe"));
  ASSERT_TRUE(memory.AddImage(image(0x20000000, {{u"", 10, u"TRECONTACTFORM", 0, bytes(Fixture("contact.bin"))}}),
                              u"language.dll"));
  const std::vector<std::u16string> names = {u"ContactForm", u"detailsForm"};
  struct TCase {
    Address instance;
    int detailsItems;
  } cases[] = {{0x20000000, 3}, {0x10000000, 8}, {0x30000000, 8}, {0, 8}};
  for (const auto& c : cases) {
    auto assistant = ReadAssistant(memory, 0x10000000, c.instance, u"T", names, {});
    ASSERT_EQ(assistant->FormCount(), 2);
    EXPECT_EQ(assistant->Form(0)->FName, u"ContactForm");
    EXPECT_EQ(assistant->Form(1)->ItemCount(), c.detailsItems) << std::hex << c.instance;
  }
}

}  // namespace
