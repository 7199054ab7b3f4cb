#include "reporter/delivery/trackers/Bugzilla.h"

#include <map>

#include "common/text/Utf.h"
#include "reporter/delivery/mime/MailText.h"
#include "reporter/delivery/trackers/ExtractXml.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

using kelvane::Utf8ToUtf16;

constexpr char kCallHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>";
constexpr char kCallEnd[] = "</struct></value></param></params></methodCall>";

std::string StructOf(const std::string& value) { return XmlElement(value, "<struct>").value_or(""); }

std::u16string MemberText(const std::string& structXml, std::string_view name) {
  return Utf8ToUtf16(XmlRpcScalar(XmlRpcMember(structXml, name).value_or("")));
}

// The "name" of every struct in an array member.
TTextList NamesIn(const std::string& structXml, std::string_view member) {
  TTextList names;
  for (const std::string& value : XmlRpcArray(XmlRpcMember(structXml, member).value_or("")))
    names.push_back(MemberText(StructOf(value), "name"));
  return names;
}

}  // namespace

std::string XmlRpcMemberText(const std::string& name, const std::string& type, const std::u16string& value,
                             bool asArray) {
  if (value.empty()) return {};
  std::string text = "<member><name>" + name + "</name><value>";
  if (asArray) text += "<array><data><value>";
  text += "<" + type + ">" + XmlText(value) + "</" + type + ">";
  if (asArray) text += "</value></data></array>";
  return text + "</value></member>";
}

std::optional<std::string> TBugzilla::Call(const std::string& method, const std::string& members, bool logon,
                                           kelvane::IFileReader* file) {
  std::string head = kCallHead + method + "</methodName><params><param><value><struct>";
  if (logon)
    head += XmlRpcMemberText("Bugzilla_login", "string", account_.user) +
            XmlRpcMemberText("Bugzilla_password", "string", account_.password);
  head += members;
  THttpBody body;
  if (file) {
    body.AddText(head + "<member><name>data</name><value><base64>");
    body.AddFile(file, true);
    body.AddText(std::string("</base64></value></member>") + kCallEnd);
  } else {
    body.AddText(head + kCallEnd);
  }
  IProgressAlert* progress = services_.progress;
  const int area = progress ? progress->GetCurrentArea() : 0;
  const int position = progress ? progress->GetPosition() : 0;
  TBodyProgress bodyProgress;
  if (progress) bodyProgress.position = [progress](int perMille) { progress->SetPosition(perMille); };
  const auto restart = [&] {
    if (progress) progress->SetCurrentArea(area), progress->SetPosition(position);
  };
  const THttpOutcome outcome = session_.Send("POST", account_.basePath + "/xmlrpc.cgi", {"Content-Type: text/xml"},
                                             &body, bodyProgress, restart);
  if (!outcome.ok) return std::nullopt;
  if (std::optional<std::string> value = ExtractXml(outcome.answer, "<methodResponse>|<params>|<value>")) return value;
  const std::string fault = StructOf(ExtractXml(outcome.answer, "<methodResponse>|<fault>|<value>").value_or(""));
  const std::u16string message = MemberText(fault, "faultString");
  session_.SetTrackerError(message.empty() ? u"The server's answer could not be read" : message);
  return std::nullopt;
}

void TBugzilla::ReadProducts() {
  const std::optional<std::string> enterable = Call("Product.get_enterable_products", "", false);
  SetTrackerPosition(services_, 500);
  if (!enterable) return;
  const std::optional<std::string> answer = Call("Product.get", StructOf(*enterable), false);
  SetTrackerPosition(services_, 667);
  if (!answer) return;
  for (const std::string& value : XmlRpcArray(XmlRpcMember(StructOf(*answer), "products").value_or(""))) {
    const std::string product = StructOf(value);
    const std::u16string name = MemberText(product, "name");
    lists_.projects.push_back(name);
    for (const std::u16string& component : NamesIn(product, "components")) {
      lists_.areas.push_back(component);
      lists_.areaProjects.push_back(name);
    }
    for (const std::u16string& version : NamesIn(product, "versions")) {
      lists_.versions.push_back(version);
      lists_.versionProjects.push_back(name);
    }
  }
}

void TBugzilla::ReadFields() {
  const std::optional<std::string> answer = Call("Bug.fields", "", false);
  SetTrackerPosition(services_, 833);
  if (!answer) return;
  std::map<std::u16string, TTextList> values;
  for (const std::string& value : XmlRpcArray(XmlRpcMember(StructOf(*answer), "fields").value_or(""))) {
    const std::string field = StructOf(value);
    values[MemberText(field, "name")] = NamesIn(field, "values");
  }
  const auto either = [&](const char16_t* first, const char16_t* second) {
    const auto found = values.find(first);
    if (found != values.end() && !found->second.empty()) return found->second;
    return second ? values[second] : TTextList{};
  };
  lists_.priorities = either(u"priority", nullptr);
  lists_.severities = either(u"bug_severity", u"severity");
  lists_.oss = either(u"op_sys", nullptr);
  lists_.platforms = either(u"rep_platform", u"platform");
}

bool TBugzilla::Init() {
  if (initDone_) return serverOk_;
  initDone_ = true;
  if (const std::optional<std::string> answer = Call("Bugzilla.version", "", false))
    lists_.version = MemberText(StructOf(*answer), "version");
  serverOk_ = !lists_.version.empty();
  SetTrackerPosition(services_, 167);
  if (!serverOk_) return false;
  if (!account_.user.empty() && !account_.password.empty())
    logonOk_ = Call("Bugzilla.version", "", true).has_value();
  SetTrackerPosition(services_, 333);
  ReadProducts();
  ReadFields();
  return true;
}

std::optional<std::string> TBugzilla::Upload(const TTrackerIssue& issue) {
  TAttachmentSet set;
  const std::vector<TOpenedFile> files = OpenTrackerFiles(issue, services_, set);
  if (!Init()) return std::nullopt;
  std::u16string project = issue.project, area = issue.area, version = issue.version, os = issue.operatingSystem;
  std::u16string priority = u"P2", severity = u"normal", platform = u"PC";
  CheckListValue(project, lists_.projects, {});
  CheckDoubleListValue(area, lists_.areas, {}, lists_.areaProjects, project);
  CheckDoubleListValue(version, lists_.versions, {}, lists_.versionProjects, project);
  if (!CheckListValue(os, lists_.oss, {})) {
    os = u"other";
    CheckListValue(os, lists_.oss, {});
  }
  CheckListValue(priority, lists_.priorities, {});
  CheckListValue(severity, lists_.severities, {});
  CheckListValue(platform, lists_.platforms, {});

  const std::string members =
      XmlRpcMemberText("product", "string", project) + XmlRpcMemberText("component", "string", area) +
      XmlRpcMemberText("summary", "string", issue.title) + XmlRpcMemberText("version", "string", version) +
      XmlRpcMemberText("description", "string", issue.description) + XmlRpcMemberText("op_sys", "string", os) +
      XmlRpcMemberText("priority", "string", priority) + XmlRpcMemberText("severity", "string", severity) +
      XmlRpcMemberText("platform", "string", platform) + XmlRpcMemberText("assigned_to", "string", issue.assignTo);
  const std::optional<std::string> created = Call("Bug.create", members, true);
  TrackerAreaDone(services_);
  if (!created) return std::nullopt;
  const std::string id = XmlRpcScalar(XmlRpcMember(StructOf(*created), "id").value_or(""));
  if (id.empty()) {
    session_.SetTrackerError(u"The new bug has no id");
    return std::nullopt;
  }
  for (const TOpenedFile& file : files) {
    if (file.file->Size() == 0) continue;
    const std::string attachment =
        XmlRpcMemberText("exclude_fields", "string", u"data", true) + XmlRpcMemberText("ids", "int", Utf8ToUtf16(id)) +
        XmlRpcMemberText("file_name", "string", file.sendAsName) +
        XmlRpcMemberText("summary", "string", file.sendAsName) +
        XmlRpcMemberText("content_type", "string", Utf8ToUtf16(MimeTypeOf(file.sendAsName)));
    const bool attached = Call("Bug.add_attachment", attachment, true, file.file).has_value();
    TrackerAreaDone(services_);
    if (!attached) return std::nullopt;
  }
  return id;
}

}  // namespace ruvex
