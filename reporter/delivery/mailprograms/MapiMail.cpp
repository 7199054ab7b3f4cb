#include "reporter/delivery/mailprograms/MapiMail.h"

#include "reporter/delivery/mime/MailText.h"

namespace ruvex {

TMapiPlan PlanMapiMail(const std::u16string& recipients, const std::u16string& subject,
                       const std::u16string& body, bool silent, const std::vector<std::u16string>& sendAsNames,
                       const std::vector<std::u16string>& paths) {
  TMapiPlan plan;
  plan.subject = subject;
  plan.body = body;
  for (const std::u16string& item : SplitMailAddrs(recipients)) {
    const std::size_t open = item.find(u'<');
    if (open == std::u16string::npos) {
      plan.recipients.push_back({item, u"SMTP:" + item});
      continue;
    }
    const std::size_t close = item.find(u'>', open);
    std::u16string name = item.substr(0, open);
    while (!name.empty() && name.back() == u' ') name.pop_back();
    const std::u16string address =
        item.substr(open + 1, close == std::u16string::npos ? std::u16string::npos : close - open - 1);
    plan.recipients.push_back({name, u"SMTP:" + address});
  }
  for (std::size_t i = 0; i < paths.size(); ++i)
    plan.files.push_back({paths[i], i < sendAsNames.size() ? sendAsNames[i] : std::u16string()});
  plan.flags = silent && !plan.recipients.empty() ? 0 : kMapiLogonUi | kMapiDialog;
  return plan;
}

TMapiResult SendMailViaMapi(IMapiHost& host, const TMapiPlan& plan, kelvane::TWindowHandle parent) {
  const auto code = host.SendMail(plan, parent);
  if (!code) return TMapiResult::mrFailed;
  if (*code == 0) return TMapiResult::mrSent;
  return *code == kMapiUserAbort ? TMapiResult::mrCancelled : TMapiResult::mrFailed;
}

}  // namespace ruvex
