#include "reporter/core/fields/Fields.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace ruvex {
namespace {

using Items = std::vector<TIREFields::TItem>;

Items HeaderItems() {
  return {{u"date/time", u"2026-12-10"}, {u"computer name", u"PC"}, {u"callstack crc", u"soon"},
          {u"exception number", u"1"}};
}

TEST(FieldsTest, SetContentTrimsRemovesBlanksAndMatchesNamesThroughTheAnsiFold) {
  TIREFields fields;
  fields.SetContent(u"Straße", u" \t value \r\n");
  EXPECT_EQ(fields.GetContent(u"STRAßE"), u"value");
  // Below 256 the Windows-1252 fold applies (Ä/ä); from 256 up it does not.
  fields.SetContent(u"ÄRGER", u"1");
  EXPECT_EQ(fields.FindItem(u"ärger"), 1);
  fields.SetContent(u"Łódź", u"2");
  EXPECT_EQ(fields.FindItem(u"łódź"), -1);
  // An update takes the new spelling of the name.
  fields.SetContent(u"ärger", u"3");
  EXPECT_EQ(fields.GetItem(1), u"ärger");
  EXPECT_EQ(fields.GetContentAt(1), u"3");
  fields.SetContent(u"ÄRGER", u" \x01 ");
  EXPECT_EQ(fields.FindItem(u"ärger"), -1);
  EXPECT_EQ(fields.GetItemCount(), 2);
  EXPECT_EQ(fields.GetItem(5), u"");
  EXPECT_EQ(fields.GetContentAt(-1), u"");
}

TEST(FieldsTest, NewNamesGoInAtTheAddIndexInTheOrderAdded) {
  TIREFields fields;
  fields.Load(HeaderItems());
  fields.SetAddIndex(2);  // in front of "callstack crc"
  fields.SetContent(u"user field", u"a");
  fields.SetContent(u"second field", u"b");
  EXPECT_EQ(fields.GetItem(2), u"user field");
  EXPECT_EQ(fields.GetItem(3), u"second field");
  EXPECT_EQ(fields.GetItem(4), u"callstack crc");
  // Deleting every field above keeps the position in front of the same
  // entry instead of falling back to appending.
  while (fields.GetItem(0) != u"callstack crc") fields.Delete(0);
  EXPECT_EQ(fields.AddIndex(), 0);
  fields.SetContent(u"late", u"c");
  EXPECT_EQ(fields.GetItem(0), u"late");
  EXPECT_EQ(fields.GetItem(1), u"callstack crc");
}

TEST(FieldsTest, WithoutAddIndexNewNamesAreAppended) {
  TIREFields fields;
  fields.Load(HeaderItems());
  fields.SetAddIndex(0);
  fields.SetContent(u"x", u"1");
  EXPECT_EQ(fields.GetItem(4), u"x");
}

TEST(FieldsTest, InsertClampsMovesAnExistingNameAndKeepsTheAddIndexInStep) {
  struct Case {
    int index;
    const char16_t* name;
    Items expected;
  };
  const Case cases[] = {
      {-5, u"new", {{u"new", u"v"}, {u"a", u"1"}, {u"b", u"2"}, {u"c", u"3"}}},
      {99, u"new", {{u"a", u"1"}, {u"b", u"2"}, {u"c", u"3"}, {u"new", u"v"}}},
      // The removed entry stood before the target: the target moves up.
      {3, u"A", {{u"b", u"2"}, {u"c", u"3"}, {u"A", u"v"}}},
      {0, u"c", {{u"c", u"v"}, {u"a", u"1"}, {u"b", u"2"}}},
      {1, u"b", {{u"a", u"1"}, {u"b", u"v"}, {u"c", u"3"}}},
  };
  for (const Case& c : cases) {
    TIREFields fields;
    fields.Load({{u"a", u"1"}, {u"b", u"2"}, {u"c", u"3"}});
    fields.Insert(c.index, c.name, u" v ");
    EXPECT_EQ(fields.Items(), c.expected) << c.index;
  }

  TIREFields fields;
  fields.Load({{u"a", u"1"}, {u"b", u"2"}, {u"c", u"3"}});
  fields.SetAddIndex(2);
  fields.Insert(0, u"z", u"1");
  EXPECT_EQ(fields.AddIndex(), 3);
  fields.Insert(3, u"y", u"1");  // at the add index: it moves behind
  EXPECT_EQ(fields.AddIndex(), 4);
  fields.Insert(5, u"x", u"1");  // after it: it stays
  EXPECT_EQ(fields.AddIndex(), 4);
  fields.Delete(u"z");
  EXPECT_EQ(fields.AddIndex(), 3);
}

TEST(FieldsTest, OnlyRealChangesNotifyAndAClosedListIgnoresData) {
  TIREFields fields;
  int calls = 0;
  fields.SetOnChange([&] { ++calls; });
  fields.SetContent(u"a", u"1");
  fields.SetContent(u"A", u"1");  // new spelling
  EXPECT_EQ(calls, 2);
  fields.SetContent(u"A", u" 1 ");  // same after trimming
  fields.Insert(0, u"A", u"1");     // same content, same place
  fields.Delete(u"missing");
  fields.SetContent(u"missing", u"");
  EXPECT_EQ(calls, 2);

  fields.AcceptData(false);
  fields.SetContent(u"b", u"2");
  fields.Insert(0, u"c", u"3");
  fields.SetContent(u"A", u"");
  EXPECT_EQ(fields.Items(), (Items{{u"A", u"1"}}));
  EXPECT_EQ(calls, 2);
  auto copy = fields.Clone();
  copy->SetContent(u"b", u"2");
  EXPECT_EQ(copy->GetItemCount(), 1);
}

TEST(FieldsTest, AnUpdateBracketGivesOneNotificationWhenTheOutermostCloses) {
  TIREFields fields;
  int calls = 0;
  Items seen;
  fields.SetOnChange([&] {
    ++calls;
    seen = fields.Items();  // the callback may read the list back
  });
  fields.Lock();
  fields.SetContent(u"a", u"1");
  fields.Lock();
  fields.SetContent(u"b", u"2");
  fields.Unlock();
  fields.Delete(0);
  EXPECT_EQ(calls, 0);
  fields.Unlock();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, (Items{{u"b", u"2"}}));
  fields.Unlock();  // unbalanced: harmless
  fields.Lock();
  fields.Unlock();  // nothing changed: no call
  EXPECT_EQ(calls, 1);
}

// Clearing the callback waits for a call in progress on another thread, and
// no call starts afterwards: an owner may clear it in its destructor.
TEST(FieldsTest, ClearingTheCallbackWaitsForARunningCallAndStopsLaterOnes) {
  auto fields = std::make_shared<TIREFields>();
  std::atomic<bool> started{false}, finished{false};
  std::atomic<int> callsAfterClear{0};
  std::atomic<bool> cleared{false};
  fields->SetOnChange([&] {
    if (cleared) ++callsAfterClear;
    started = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
  });
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i) fields->SetContent(u"n", std::u16string(1, char16_t(u'a' + i % 20)));
  });
  while (!started) std::this_thread::yield();
  fields->ClearExcParent();
  cleared = true;
  EXPECT_TRUE(finished);
  writer.join();
  EXPECT_EQ(callsAfterClear, 0);
}

TEST(FieldsTest, TrimBlanksRemovesCodesUpToSpaceOnly) {
  EXPECT_EQ(TrimBlanks(u"\x01\x20 a b\x1f"), u"a b");
  EXPECT_EQ(TrimBlanks(u"\x21x\x7f"), u"\x21x\x7f");
  EXPECT_EQ(TrimBlanks(u"   "), u"");
}

TEST(AttachmentsTest, AddDefaultsDeleteByFileAndClone) {
  TIREAttachments list;
  int changes = 0;
  list.SetOnChange([&changes] { ++changes; });
  list.Add(u"");
  EXPECT_EQ(list.Count(), 0) << "an empty original file is ignored";
  list.Add(u"C:\\Logs\\app.log");
  list.Add(u"C:\\Logs\\app.log", u"second.txt", u"logs.zip", u"log2");
  EXPECT_EQ(list.Item(0), (TREAttachment{u"C:\\Logs\\app.log", u"app.log", u"", u"app"}));

  auto clone = list.Clone();
  EXPECT_TRUE(list.Delete(u"c:\\logs\\APP.LOG"));
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0).sendAsFileName, u"second.txt") << "only the first of the same file went";
  EXPECT_FALSE(list.Delete(u"C:\\other.log"));
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(clone->Count(), 2) << "the clone is a list of its own";
}

}  // namespace
}  // namespace ruvex
