#include "reporter/core/settings/Settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/text/Utf.h"
#include "reporter/core/settings/FakeSettingsHost.h"
#include "reporter/core/properties/PasswordCipher.h"
#include "reporter/core/properties/SettingsBlock.h"

using namespace ruvex;

namespace {

constexpr ModuleHandle kExe{0x400000};
constexpr ModuleHandle kDll{0x10000000};
constexpr ModuleHandle kOtherDll{0x20000000};

TREProperty Bool(const char* name, bool v) {
  TREProperty p;
  p.name = name;
  p.typ = ptBoolean;
  p.vBool = v;
  return p;
}
TREProperty Int(const char* name, int v) {
  TREProperty p;
  p.name = name;
  p.typ = ptInteger;
  p.vInt = v;
  return p;
}
TREProperty Str(const char* name, std::u16string v) {
  TREProperty p;
  p.name = name;
  p.vStr = std::make_shared<const std::u16string>(std::move(v));
  return p;
}
std::string Block(const std::vector<TREProperty>& props) { return *WriteSettingsBlock(props); }

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    host.modules[kExe].path = u"C:\\Apps\\Kelvane.exe";
    host.modules[kDll].path = u"C:\\Apps\\Helper.dll";
    host.modules[kOtherDll].path = u"C:\\Apps\\Other.dll";
  }
  // Resolves the main settings the way start-up does.
  void ResolveMain() {
    auto main = RESettings(env, kExe);
    env.SetMainSettings(main->IsValid() ? main : nullptr);
  }
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
};

}  // namespace

TEST_F(SettingsTest, ModuleWithoutBlockReadsDefaultsAndRefusesWrites) {
  TIRESettings s(env, ModuleHandle());
  EXPECT_FALSE(s.IsValid());
  EXPECT_FALSE(s.Module());
  EXPECT_FALSE(s.Enabled());
  EXPECT_FALSE(s.LinkInSettings()) << "NoSettings defaults to true";
  EXPECT_EQ(s.GetBugReportFileSize(), 100000);
  EXPECT_TRUE(s.GetPluginEnabled(u"hardware"));
  EXPECT_TRUE(s.GetPluginEnabled(u"HARDWARE"));
  EXPECT_EQ(s.GetExceptMsg(), u"An error occurred in the application.");
  EXPECT_EQ(s.GetTitleBar(), u"Kelvane.exe");
  EXPECT_EQ(s.GetFocusedButton(), bSendBugReport);
  EXPECT_EQ(s.GetGeneralShowSetting(), ssFullBox);
  EXPECT_EQ(s.GetBugTrackerDescription(), u"error details: \r\n%errorDetails%");
  EXPECT_EQ(s.FreezeTimeout(), 60);
  EXPECT_EQ(s.GetLimitDisassembly(), 5);
  EXPECT_FALSE(s.CrashOnOverrun());
  EXPECT_TRUE(s.LinkInMapFile());
  EXPECT_FALSE(s.SetAutoSave(false));
  EXPECT_FALSE(s.SetExceptMsg(u"x"));
  EXPECT_FALSE(s.SetAutoDelay(1));
  EXPECT_FALSE(s.SetFocusedButton(bCloseApplication));
  EXPECT_FALSE(s.SetPluginEnabled(u"hardware", false));
  EXPECT_FALSE(s.SetHttpServer("host"));
  EXPECT_FALSE(s.SetGeneralNoBugReport(true));
  EXPECT_FALSE(anchor.Exists()) << "no block, no shared list";
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(SettingsTest, DefaultTableHasItsSizeAndKinds) {
  EXPECT_EQ(std::string(kDefaultProperties[0].name), "Enabled");
  EXPECT_EQ(std::string(kDefaultProperties[kDefaultPropertyCount - 1].name), "VersionVar");
  int trueBooleans = 0, nonEmptyStrings = 0, integers = 0;
  for (const auto& e : kDefaultProperties) {
    trueBooleans += e.typ == ptBoolean && e.vBool;
    nonEmptyStrings += e.typ == ptString && *e.vStr;
    integers += e.typ == ptInteger;
    EXPECT_EQ(FindDefaultProperty(e.name), &e) << e.name << " is listed twice";
  }
  EXPECT_EQ(trueBooleans, 27);
  EXPECT_EQ(nonEmptyStrings, 32);  // the 31 listed texts and BitFaultMsg
  EXPECT_EQ(integers, 10);
  EXPECT_EQ(FindDefaultProperty("CrashOnBuffer"), nullptr);
}

TEST_F(SettingsTest, OwnBlockThenDefaultsForTheMainModule) {
  host.modules[kExe].block = Block({Bool("Enabled", true), Int("AutoDelay", 5), Str("MailAddr", u"a@b.c")});
  ResolveMain();
  auto main = env.MainSettings();
  ASSERT_TRUE(main);
  EXPECT_TRUE(main->IsValid());
  EXPECT_EQ(main->Module(), kExe);
  EXPECT_TRUE(main->Enabled());
  EXPECT_EQ(main->GetAutoDelay(), 5);
  EXPECT_EQ(main->GetMailAddr(), u"a@b.c");
  EXPECT_EQ(main->GetBugReportFileSize(), 100000);  // from the defaults
}

TEST_F(SettingsTest, LibraryModuleFallsBackToTheMainBlockThenTheDefaults) {
  host.modules[kExe].block = Block({Int("AutoDelay", 5), Str("MailAddr", u"main@x"), Bool("Enabled", true)});
  host.modules[kDll].block = Block({Str("MailAddr", u"dll@x")});
  ResolveMain();
  TIRESettings dll(env, kDll);
  ASSERT_TRUE(dll.IsValid());
  EXPECT_EQ(dll.GetMailAddr(), u"dll@x");        // own block
  EXPECT_EQ(dll.GetAutoDelay(), 5);               // the main module's block
  EXPECT_TRUE(dll.Enabled());
  EXPECT_EQ(dll.GetBugReportFileSize(), 100000);  // then the defaults
  TIRESettings plain(env, kOtherDll);             // no block: the main settings
  EXPECT_FALSE(plain.IsValid());
  EXPECT_EQ(plain.GetMailAddr(), u"main@x");
  // Without main settings a library reads the defaults for what it lacks.
  env.SetMainSettings(nullptr);
  EXPECT_EQ(dll.GetAutoDelay(), 60);
}

TEST_F(SettingsTest, UnchangedPluginListStaysWithTheMainSettings) {
  host.modules[kExe].block = Block({Bool("Enabled", true)});
  host.modules[kDll].block = Block({Str("MailAddr", u"dll@x")});
  ResolveMain();
  TIRESettings dll(env, kDll);
  EXPECT_TRUE(dll.SetPluginEnabled(u"modules", true));   // already on
  EXPECT_TRUE(dll.SetPluginEnabled(u"unknown", false));  // already off
  env.MainSettings()->SetPluginEnabled(u"hardware", false);
  EXPECT_EQ(dll.GetPropStr("Plugins"), u"modules|processes");
  EXPECT_FALSE(dll.GetPluginEnabled(u"hardware"));
  // A real change is the module's own.
  EXPECT_TRUE(dll.SetPluginEnabled(u"processes", false));
  env.MainSettings()->SetPluginEnabled(u"hardware", true);
  EXPECT_EQ(dll.GetPropStr("Plugins"), u"modules");
}

TEST_F(SettingsTest, ModuleThatDoesNotLinkInUsesTheNextThatDoes) {
  host.library = kDll;
  host.modules[kDll].block = Block({Bool("NoSettings", true), Str("MailAddr", u"dll@x")});
  host.modules[kOtherDll].block = Block({Bool("NoSettings", false), Str("MailAddr", u"other@x")});
  host.packageMode = true;
  auto s = RESettings(env, kDll);
  EXPECT_EQ(s->Module(), kOtherDll);
  EXPECT_EQ(s->GetMailAddr(), u"other@x");
  // Outside package mode a module without a block keeps its invalid object.
  host.packageMode = false;
  EXPECT_FALSE(RESettings(env, kExe)->IsValid());
  // The settings for an address resolve from the module that holds it.
  EXPECT_EQ(RESettingsForAddress(env, kOtherDll.Value() + 0x1234)->Module(), kOtherDll);
  EXPECT_EQ(RESettingsForAddress(env, kExe.Value() + 0x10)->Module(), kOtherDll);
}

TEST_F(SettingsTest, BlockOfAnotherClassIsValidButEmpty) {
  host.modules[kExe].block = std::string("TPF0\x07TOthers\x0bRuvexExcept\x07Enabled\x09", 31) + std::string(2, '\0');
  TIRESettings s(env, kExe);
  EXPECT_TRUE(s.IsValid());
  EXPECT_FALSE(s.Enabled());
  EXPECT_TRUE(s.SetAutoDelay(3));
  EXPECT_EQ(s.GetAutoDelay(), 3);
}

TEST_F(SettingsTest, InvalidTypeShowsTheBoxOnceAndKeepsTheProperties) {
  std::string block = Block({Bool("Enabled", true), Int("AutoDelay", 9), Str("MailAddr", u"m@x")});
  block.resize(block.size() - 2);
  block += std::string("\x0d" "FreezeTimeout\x05", 15) + std::string(10, '\0');
  host.modules[kExe].block = block;
  TIRESettings first(env, kExe), second(env, kExe);
  ASSERT_EQ(host.Messages().size(), 1u) << "parsed once per process";
  EXPECT_EQ(host.Messages()[0].caption, u"RuvexExcept");
  EXPECT_EQ(host.Messages()[0].text, u"Internal error: Invalid settings resource ($5).");
  EXPECT_TRUE(second.Enabled());
  EXPECT_EQ(second.GetAutoDelay(), 9);
  EXPECT_EQ(second.GetMailAddr(), u"m@x");
}

TEST_F(SettingsTest, SettersWriteTheSharedRecordByKind) {
  host.modules[kExe].block = Block({Bool("AutoSave", true)});
  auto a = std::make_shared<TIRESettings>(env, kExe);
  auto b = std::make_shared<TIRESettings>(env, kExe);
  EXPECT_TRUE(a->SetAutoSave(false));
  EXPECT_FALSE(b->GetAutoSave());
  EXPECT_FALSE(a->SetPropInt("AutoSave", 1)) << "kind mismatch";
  EXPECT_TRUE(a->SetExceptMsg(u"new %appname%"));
  EXPECT_EQ(b->GetExceptMsg(), u"new Kelvane.exe");
  EXPECT_TRUE(a->SetFrozenMsg(u"frozen %appname%"));
  EXPECT_EQ(b->GetFrozenMsg(), u"frozen %appname%") << "the freeze message is never expanded";
  EXPECT_TRUE(a->SetHttpServer("h\xe9st"));
  EXPECT_EQ(b->GetHttpServer(), "h\xe9st");
  EXPECT_EQ(b->GetPropStr("HttpServer"), u"h\u00e9st");
  EXPECT_TRUE(a->SetExceptMsg(u""));
  EXPECT_EQ(b->GetExceptMsg(), u"");
  // The record lives while an object uses it; then the shared list goes.
  a.reset();
  EXPECT_TRUE(anchor.Exists());
  b.reset();
  EXPECT_FALSE(anchor.Exists());
  EXPECT_TRUE(TIRESettings(env, kExe).GetAutoSave()) << "a new record parses the block again";
}

TEST_F(SettingsTest, ReloadParsesTheBlockAgain) {
  host.modules[kExe].block = Block({Int("AutoDelay", 7)});
  TIRESettings s(env, kExe);
  s.SetAutoDelay(1);
  s.SetMailAddr(u"added");
  s.Reload();
  EXPECT_EQ(s.GetAutoDelay(), 7);
  EXPECT_EQ(s.GetMailAddr(), u"");
}

TEST_F(SettingsTest, SharedListThatCannotBeOpenedShowsTheBox) {
  struct TFailingAnchor : ISettingsListAnchor {
    TSettingsControl* Acquire() override { return nullptr; }
    void Release(TSettingsControl*) override {}
  } failing;
  host.modules[kExe].block = Block({Bool("Enabled", true)});
  TSettingsEnvironment broken(host, failing);
  TIRESettings s(broken, kExe);
  EXPECT_FALSE(s.IsValid());
  EXPECT_FALSE(s.Enabled());
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, u"internal error (opening settings buffer)");
}

TEST_F(SettingsTest, PlaceholdersExpandInOnePass) {
  host.modules[kExe].fileVersion = u"1.2.3.4";
  host.folders[TShellFolder::desktop] = u"C:\\Users\\me\\Desktop\\";
  host.folders[TShellFolder::localAppData] = u"C:\\Users\\me\\Local";
  struct TCase { std::u16string text, expected; };
  const TCase cases[] = {
      {u"%APPNAME% %appversion%", u"Kelvane.exe 1.2.3.4"},
      {u"%modname%/%modversion%", u"Helper.dll/?"},
      {u"%date% | %time% | %datetime%", u"2024-03-07 | 09:05:02, 42ms | 2024-03-07, 09:05:02, 42ms"},
      {u"a%LF%b", u"a\r\nb"},
      {u"%computerName% on %os%", u"BUILDBOX on Windows 10 x64 build 19045"},
      {u"%desktop%|%localappdata%|%userappdata%", u"C:\\Users\\me\\Desktop|C:\\Users\\me\\Local|C:\\Apps"},
      {u"%exceptClass%: %exceptMsg% %bugReport% %errorDetails%", u"EBoom: 100% %appname% R D"},
      {u"50% done %", u"50% done %"},
      {u"%appname", u"%appname"},
  };
  TPlaceholderValues values;
  values.exceptClass = u"EBoom";
  values.exceptMsg = u"100% %appname%";  // inserted text is not scanned again
  values.bugReport = u"R";
  values.errorDetails = u"D";
  for (const auto& c : cases)
    EXPECT_EQ(ExpandPlaceholders(host, kDll, c.text, values), c.expected) << kelvane::Utf16ToUtf8(c.text);
  values.exceptMsg.clear();
  EXPECT_EQ(ExpandPlaceholders(host, kDll, u"%exceptMsg%", values), u"Unknown");
  // A plain settings object leaves the exception placeholders in place.
  TIRESettings s(env, kExe);
  EXPECT_EQ(s.GetBugTrackerTitle(), u"Kelvane.exe, %exceptMsg%");
}

TEST_F(SettingsTest, VersionVarTextIsReadAtCreation) {
  host.modules[kExe].block = Block({Int("VersionVar", 0x1000), Str("TitleBar", u"%appname% %appversion%")});
  host.modules[kExe].versionTexts[0x1000] = "2.0 beta";
  host.modules[kExe].fileVersion = u"1.0";
  TIRESettings s(env, kExe);
  EXPECT_EQ(s.VersionVar(), u"2.0 beta");
  EXPECT_EQ(s.GetTitleBar(), u"Kelvane.exe 2.0 beta");
  host.modules[kExe].block = Block({Int("VersionVar", 0x2000)});  // unreadable: ignored
  host.modules[kDll].block = host.modules[kExe].block;
  EXPECT_EQ(TIRESettings(env, kDll).VersionVar(), u"");
}

TEST_F(SettingsTest, PluginListItemsAreWholeAndCaseInsensitive) {
  host.modules[kExe].block = Block({});
  TIRESettings s(env, kExe);
  EXPECT_TRUE(s.SetPluginEnabled(u"Processes", false));
  EXPECT_EQ(s.GetPropStr("Plugins"), u"modules|hardware");
  EXPECT_FALSE(s.GetPluginEnabled(u"processes"));
  EXPECT_FALSE(s.GetPluginEnabled(u"module"));
  EXPECT_TRUE(s.SetPluginEnabled(u"processes", true));
  EXPECT_EQ(s.GetPropStr("Plugins"), u"modules|hardware|processes");
  EXPECT_TRUE(s.SetPluginEnabled(u"MODULES", true));
  EXPECT_EQ(s.GetPropStr("Plugins"), u"modules|hardware|processes");
  s.SetPropStr("Plugins", u"a|x|A");
  s.SetPluginEnabled(u"a", false);
  EXPECT_EQ(s.GetPropStr("Plugins"), u"x");
  s.SetPluginEnabled(u"x", false);
  s.SetPluginEnabled(u"y", true);
  EXPECT_EQ(s.GetPropStr("Plugins"), u"y");
}

TEST_F(SettingsTest, AdditionalFieldsRoundTripValuesWithEquals) {
  host.modules[kExe].block = Block({Str("AddFields", u"User=me|Query=a=b&c=d|Flag")});
  auto s = std::make_shared<TIRESettings>(env, kExe);
  auto fields = s->GetAdditionalFields();
  ASSERT_EQ(fields->GetItemCount(), 3);
  EXPECT_EQ(fields->GetContentAt(1), u"a=b&c=d");
  EXPECT_EQ(fields->GetContentAt(2), u"");
  fields->Add(u"Build", u"x=1");
  EXPECT_EQ(s->GetPropStr("AddFields"), u"User=me|Query=a=b&c=d|Flag=|Build=x=1");
  EXPECT_EQ(ParseAdditionalFields(s->GetPropStr("AddFields")), std::static_pointer_cast<TIREFields>(fields)->Items());
  fields->Delete(0);
  EXPECT_EQ(s->GetPropStr("AddFields"), u"Query=a=b&c=d|Flag=|Build=x=1");
  // The list may outlive its settings object; it stops writing back.
  s.reset();
  fields->Add(u"Late", u"1");
  EXPECT_EQ(fields->GetItemCount(), 4);
}

TEST_F(SettingsTest, AdditionalAttachmentsFillTheirDefaults) {
  host.modules[kExe].block = Block({Str("AddAttachs", u"C:\\a\\log.txt>log.txt>logs.zip>Log")});
  TIRESettings s(env, kExe);
  auto attachments = s.GetAdditionalAttachments();
  ASSERT_EQ(attachments->Count(), 1);
  EXPECT_EQ(attachments->Item(0), (TREAttachment{u"C:\\a\\log.txt", u"log.txt", u"logs.zip", u"Log"}));
  attachments->Add(u"C:\\data\\dump.tar.gz");
  EXPECT_EQ(attachments->Item(1), (TREAttachment{u"C:\\data\\dump.tar.gz", u"dump.tar.gz", u"", u"dump.tar"}));
  EXPECT_EQ(s.GetPropStr("AddAttachs"),
            u"C:\\a\\log.txt>log.txt>logs.zip>Log|C:\\data\\dump.tar.gz>dump.tar.gz>>dump.tar");
}

TEST_F(SettingsTest, AssistantsAndTheFormCache) {
  host.modules[kExe].block = Block({Str("Assistant1", u"Other|T|F"),
                                    Str("Assistant2", u"SendAssistant|Send it|ContactForm|ScrShotForm|DetailsForm")});
  TIRESettings s(env, kExe);
  auto assistant = s.GetAssistant(u"sendassistant");
  ASSERT_TRUE(assistant);
  EXPECT_EQ(assistant->title, u"Send it");
  EXPECT_EQ(assistant->forms, (std::vector<std::u16string>{u"ContactForm", u"DetailsForm"})) << "no screen shot";
  s.SetScreenShotDepth(24);
  EXPECT_EQ(s.GetAssistant(u"SendAssistant")->forms.size(), 3u);
  EXPECT_FALSE(s.GetAssistant(u"Missing"));

  std::vector<TAssistantFormState> forms{{true, {{u"Name", false, u"Ann", false}, {u"Copy", true, u"", true}}},
                                         {false, {{u"Notes", false, u"cancelled", false}}}};
  s.FillFormCache(forms);
  std::vector<TAssistantFormState> fresh{{false, {{u"Name", false, u"", false}, {u"Copy", true, u"", false},
                                                  {u"Notes", false, u"keep", false}}}};
  s.ReadFormCache(fresh);
  EXPECT_EQ(fresh[0].items[0].text, u"Ann");
  EXPECT_TRUE(fresh[0].items[1].checked);
  EXPECT_EQ(fresh[0].items[2].text, u"keep");
}

TEST_F(SettingsTest, PasswordsAreDecipheredWithTheirAccountAndServer) {
  std::u16string stored = EncipherPassword(u"s3cr\u00e9t", u"me", u"smtp.example.org");
  EXPECT_NE(stored, u"s3cr\u00e9t");
  host.modules[kExe].block = Block({Str("SmtpAccount", u"me"), Str("SmtpServer", u"smtp.example.org"),
                                    Str("SmtpPassword", stored), Str("HttpPassword", u"plain")});
  TIRESettings s(env, kExe);
  EXPECT_EQ(s.GetSmtpPassword(), u"s3cr\u00e9t");
  EXPECT_EQ(s.GetHttpPassword(), u"plain") << "a text not in the enciphered form is kept";
  EXPECT_NE(DecipherPassword(stored, u"you", u"smtp.example.org"), std::optional<std::u16string>(u"s3cr\u00e9t"));
}

TEST_F(SettingsTest, ReadersNeverSeeFreedMemoryWhileSettersGrowTheRecord) {
  host.modules[kExe].block = Block({Str("MailAddr", u"start")});
  TIRESettings s(env, kExe);
  std::atomic<bool> stop{false};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r)
    readers.emplace_back([&] {
      while (!stop) {
        std::u16string v = s.GetMailAddr();
        EXPECT_FALSE(v.empty());
        reads += s.GetAutoDelay() >= 0;
      }
    });
  for (int i = 0; i < 400; ++i) {
    std::string name = "Extra" + std::to_string(i);
    s.SetPropInt(name.c_str(), i);
    s.SetMailAddr(u"value number " + std::u16string(i % 50, u'x'));
  }
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(s.GetPropInt("Extra399"), 399);
}
