#include "reporter/delivery/http/upload/CustomScriptPost.h"

#include <gtest/gtest.h>

namespace ruvex {
namespace {

TEST(CustomScriptPost, FieldPartsFollowTheEncodingOptions) {
  const std::vector<TPostField> fields{{u"Name", u"Gr\u00fcn"}, {u"\u540d", u"\u4e2d"}};
  TMultipartOptions raw;
  EXPECT_EQ(MultipartFieldPart(fields, raw),
            "\r\n--Pellowind_multipart_boundary\r\nContent-Disposition: form-data; name=\"Name\"\r\n"
            "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n\r\nGr\xfcn"
            "\r\n--Pellowind_multipart_boundary\r\nContent-Disposition: form-data; name=\"=?UTF-8?B?5ZCN?=\"\r\n"
            "Content-Type: text/plain; charset=\"utf-8\"\r\n\r\n\xe4\xb8\xad");
  TMultipartOptions encoded;
  encoded.rawUtf8Fields = false;
  encoded.alwaysUtf8 = true;
  EXPECT_EQ(MultipartFieldPart({fields[0]}, encoded),
            "\r\n--Pellowind_multipart_boundary\r\nContent-Disposition: form-data; name=\"=?UTF-8?B?TmFtZQ==?=\"\r\n"
            "Content-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\nR3LDvG4=");
  // A quote cannot end the name's header value early.
  EXPECT_NE(MultipartFieldPart({{u"a\"b", u"x"}}, raw).find("name=\"=?UTF-8?B?YSJi?=\""), std::string::npos);
}

TEST(CustomScriptPost, OnlyAbsoluteWebAddressesAreOpened) {
  const std::pair<const char*, bool> cases[] = {
      {"http://bugs.example.org/thanks", true}, {"HTTPS://bugs.example.org/", true},
      {"/thanks.html", false},                  {"file:///C:/Windows/system32/calc.exe", false},
      {"C:\\Windows\\notepad.exe", false},      {"javascript:alert(1)", false},
      {"http://", false},                       {"http://x/ \"y\"", false},
      {"", false},
  };
  for (const auto& [url, openable] : cases) EXPECT_EQ(IsOpenableRedirect(url), openable) << url;
}

}  // namespace
}  // namespace ruvex
