#include "reporter/core/extensions/ContactForm.h"

#include <gtest/gtest.h>

#include <map>

#include "reporter/core/flow/FakeFlowServices.h"
#include "reporter/core/settings/FakeSettingsHost.h"

using namespace ruvex;

namespace {

class TMemoryRemembered : public IRememberedContact {
 public:
  std::map<std::u16string, std::u16string, std::less<>> values;
  std::optional<std::u16string> Read(std::u16string_view name) const override {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::u16string_view name, std::u16string_view value) override { values[std::u16string(name)] = value; }
  void Delete(std::u16string_view name) override {
    if (auto it = values.find(name); it != values.end()) values.erase(it);
  }
};

struct ContactFormTest : ::testing::Test {
  TFakeSettingsHost host;
  TLocalSettingsAnchor anchor;
  TSettingsEnvironment env{host, anchor};
  TFakeFlow fake;
  TIREException exception{env, nullptr, TExceptionData{}, fake.services};
  TMemoryRemembered store;
};

}  // namespace

TEST(ContactFormCheck, EmailAddresses) {
  struct TCase {
    std::u16string_view text;
    bool valid;
  } cases[] = {
      {u"jo.doe@example.com", true},     {u"o'neil+tag_x-y@mail.example.org", true},
      {u"", false},                      {u" jo@example.com", false},
      {u"jo@example.com ", false},       {u"@example.com", false},
      {u"jo@example", false},            {u".jo@example.com", false},
      {u"jo@example.com.", false},       {u"jo@.example.com", false},
      {u"jo@@example.com", false},       {u"jo@exa mple.com", false},
      {u"jo\r\n@example.com", false},    {u"j\u00f6@example.com", false},
      {u"jo@ex@ample.com", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsValidEmailAddress(c.text), c.valid) << std::string(c.text.begin(), c.text.end());
}

TEST(ContactFormCheck, SenderAddress) {
  struct TCase {
    std::u16string_view name, email, sender;
  } cases[] = {
      {u"Jo Doe", u"jo@example.com", u"Jo Doe <jo@example.com>"},
      {u"", u"jo@example.com", u"jo@example.com"},
      {u"  ", u"jo@example.com", u"jo@example.com"},
      {u"Doe, Jo", u"jo@example.com", u"\"Doe, Jo\" <jo@example.com>"},
      {u"Jo \"JD\" Doe", u"jo@example.com", u"\"Jo \\\"JD\\\" Doe\" <jo@example.com>"},
      {u"Jo\r\nBcc: all@example.com", u"jo@example.com\r\n", u"\"JoBcc: all@example.com\" <jo@example.com>"},
  };
  for (const auto& c : cases) EXPECT_EQ(SenderAddress(c.name, c.email), c.sender);
}

TEST_F(ContactFormTest, RememberedValuesAreOfferedWithoutControlCharacters) {
  EXPECT_FALSE(RememberedContact(store).has_value());
  store.values[u"RememberEmail"] = u"jo@example.com\n";
  auto values = RememberedContact(store);
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->name, u"");
  EXPECT_EQ(values->email, u"jo@example.com");
  EXPECT_TRUE(values->remember);
}

TEST_F(ContactFormTest, ClosingWithOkStoresOrForgetsAndSetsTheSender) {
  ContactFormClosedOk({u"Jo\tDoe", u"jo@example.com", true}, store, exception);
  EXPECT_EQ(store.values[u"RememberName"], u"JoDoe");
  EXPECT_EQ(store.values[u"RememberEmail"], u"jo@example.com");
  EXPECT_EQ(static_cast<IREException&>(exception).GetMailFrom(), u"JoDoe <jo@example.com>");

  ContactFormClosedOk({u"Someone", u"", false}, store, exception);
  EXPECT_TRUE(store.values.empty());
  EXPECT_EQ(static_cast<IREException&>(exception).GetMailFrom(), u"JoDoe <jo@example.com>")
      << "without an address the sender stays";
}
