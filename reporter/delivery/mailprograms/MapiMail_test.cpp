#include "reporter/delivery/mailprograms/MapiMail.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

TEST(MapiMail, RecipientsFilesAndTheDialogFlag) {
  const TMapiPlan plan = PlanMapiMail(u"Support Team <support@example.org>; jo@example.org", u"s", u"b", true,
                                      {u"bugreport.qbr"}, {u"C:\\Temp\\send1\\bugreport.qbr"});
  const std::vector<TMapiRecipientPlan> recipients = {{u"Support Team", u"SMTP:support@example.org"},
                                                      {u"jo@example.org", u"SMTP:jo@example.org"}};
  EXPECT_EQ(plan.recipients, recipients);
  const std::vector<TMapiFilePlan> files = {{u"C:\\Temp\\send1\\bugreport.qbr", u"bugreport.qbr"}};
  EXPECT_EQ(plan.files, files);
  EXPECT_EQ(plan.flags, 0u) << "silent with recipients: no dialog";
  EXPECT_EQ(PlanMapiMail(u"", u"s", u"b", true, {}, {}).flags, kMapiLogonUi | kMapiDialog)
      << "no recipient: the user must name one";
  EXPECT_EQ(PlanMapiMail(u"a@b.org", u"s", u"b", false, {}, {}).flags, kMapiLogonUi | kMapiDialog);
}

TEST(MapiMail, AnswerCodes) {
  struct THost final : IMapiHost {
    std::optional<std::uint32_t> code;
    std::optional<std::uint32_t> SendMail(const TMapiPlan&, kelvane::TWindowHandle) override { return code; }
  } host;
  const TMapiPlan plan;
  const std::pair<std::optional<std::uint32_t>, TMapiResult> cases[] = {
      {std::nullopt, TMapiResult::mrFailed}, {0, TMapiResult::mrSent}, {1, TMapiResult::mrCancelled},
      {2, TMapiResult::mrFailed}, {26, TMapiResult::mrFailed}};
  for (const auto& [code, result] : cases) {
    host.code = code;
    EXPECT_EQ(SendMailViaMapi(host, plan, {}), result) << code.value_or(999);
  }
}

}  // namespace
