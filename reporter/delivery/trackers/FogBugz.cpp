#include "reporter/delivery/trackers/FogBugz.h"

#include <cstdlib>

#include "common/text/Utf.h"
#include "reporter/delivery/trackers/ExtractXml.h"

namespace ruvex {
namespace {

using kelvane::Utf8ToUtf16;

// The named child of every element of a kind, as texts.
TTextList ChildTexts(std::string_view xml, std::string_view element, std::string_view child) {
  TTextList texts;
  for (const std::string& item : XmlElements(xml, element))
    texts.push_back(Utf8ToUtf16(XmlElementValue(item, child).value_or("")));
  return texts;
}

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool TFogBugz::CheckServer() {
  const THttpOutcome outcome = session_.Get(account_.basePath + "/api.xml");
  if (!outcome.ok) return false;
  const std::string minVersion = XmlElementValue(outcome.answer, "<minversion>").value_or("");
  lists_.version = Utf8ToUtf16(XmlElementValue(outcome.answer, "<version>").value_or(""));
  const std::string url = XmlElementValue(outcome.answer, "<url>").value_or("");
  if (url.size() > 1) script_ = "/" + url.substr(0, url.size() - 1);
  return IsDecimal(minVersion) && std::atoi(minVersion.c_str()) <= 8;
}

std::optional<std::string> TFogBugz::Command(const std::string& command, const TParameters& parameters) {
  std::string query = "cmd=" + command;
  for (const auto& [name, value] : parameters) query += "&" + name + "=" + UrlEscape(value);
  // The logon's password goes in a form body: a query lands in server and proxy logs.
  const bool secret = command == "logon";
  THttpBody form;
  form.AddText(query);
  const std::string path = account_.basePath + script_;
  const THttpOutcome outcome =
      secret ? session_.Send("POST", path, {"Content-Type: application/x-www-form-urlencoded"}, &form)
             : session_.Get(path + "?" + query);
  if (!outcome.ok) return std::nullopt;
  if (const std::optional<std::string> error = XmlElementValue(outcome.answer, "<error")) {
    session_.SetTrackerError(error->empty() ? u"error" : Utf8ToUtf16(*error));
    return std::nullopt;
  }
  return XmlElement(outcome.answer, "<response>").value_or("");
}

std::u16string TFogBugz::Logon() {
  const std::optional<std::string> answer =
      Command("logon", {{"email", account_.user}, {"password", account_.password}});
  return answer ? Utf8ToUtf16(XmlElementValue(*answer, "<token>").value_or("")) : std::u16string();
}

void TFogBugz::ReadLists(const std::u16string& token) {
  if (const auto answer = Command("listProjects", {{"fWrite", u"1"}, {"token", token}}))
    lists_.projects = ChildTexts(*answer, "<project>", "<sProject>");
  SetTrackerPosition(services_, 333);
  if (lists_.projects.empty()) return;
  if (const auto answer = Command("listAreas", {{"fWrite", u"1"}, {"token", token}})) {
    lists_.areas = ChildTexts(*answer, "<area>", "<sArea>");
    lists_.areaProjects = ChildTexts(*answer, "<area>", "<sProject>");
  }
  SetTrackerPosition(services_, 444);
  if (const auto answer = Command("listCategories", {{"token", token}}))
    lists_.categories = ChildTexts(*answer, "<category>", "<sCategory>");
  SetTrackerPosition(services_, 555);
  if (const auto answer = Command("listPriorities", {{"token", token}}))
    lists_.priorities = ChildTexts(*answer, "<priority>", "<sPriority>");
  SetTrackerPosition(services_, 666);
  if (const auto answer = Command("listPeople", {{"token", token}}))
    lists_.users = ChildTexts(*answer, "<person>", "<sFullName>");
  SetTrackerPosition(services_, 777);
}

bool TFogBugz::Init() {
  if (initDone_) return serverOk_ && logonOk_;
  initDone_ = true;
  serverOk_ = CheckServer();
  if (!serverOk_ || script_.empty()) return false;
  SetTrackerPosition(services_, 111);
  const std::u16string token = Logon();
  logonOk_ = !token.empty();
  SetTrackerPosition(services_, 222);
  if (logonOk_) {
    ReadLists(token);
    Command("logoff", {{"token", token}});
  }
  SetTrackerPosition(services_, 888);
  return serverOk_ && logonOk_;
}

bool TFogBugz::Upload(const TTrackerIssue& issue) {
  TAttachmentSet set;
  const std::vector<TOpenedFile> opened = OpenTrackerFiles(issue, services_, set);
  if (!Init()) return false;
  const std::u16string token = Logon();
  if (token.empty()) return false;
  std::vector<TPostFile> files;
  for (std::size_t i = 0; i < opened.size(); ++i)
    files.push_back({u"File" + Utf8ToUtf16(std::to_string(i + 1)), opened[i].sendAsName, opened[i].file});
  TrackerAreaDone(services_);

  std::u16string project = issue.project, area = issue.area, category = u"bug", assignTo = issue.assignTo;
  if (!CheckListValue(project, lists_.projects, {})) project.clear(), area.clear();
  if (!project.empty() && !CheckDoubleListValue(area, lists_.areas, {}, lists_.areaProjects, project)) {
    area = u"not spam";
    if (!CheckDoubleListValue(area, lists_.areas, {}, lists_.areaProjects, project)) area.clear();
  }
  CheckListValue(category, lists_.categories, {});
  if (!CheckListValue(assignTo, lists_.users, {})) assignTo.clear();

  TCustomScriptJob job;
  job.path = account_.basePath + script_;
  job.fields = issue.fields;
  const std::pair<const char16_t*, std::u16string> added[] = {
      {u"cmd", u"new"}, {u"token", token}, {u"sTitle", issue.title}, {u"sEvent", issue.description},
      {u"sProject", project}, {u"sArea", area}, {u"sCategory", category}, {u"sPersonAssignedTo", assignTo},
      {u"sVersion", issue.version}, {u"sComputer", issue.computerName}, {u"sCustomerEmail", issue.email},
      {u"sScoutDescription", issue.checksum},
      {u"nFileCount", Utf8ToUtf16(std::to_string(files.size()))}};
  for (const auto& [name, value] : added) job.fields.push_back({name, value});
  job.options.rawUtf8Fields = false;
  job.options.base64Utf8Fields = true;
  job.openRedirects = false;
  const TCustomScriptResult result = PostMultipartFiles(session_, job, files, {nullptr, services_.progress, {}, {}});
  const bool created = result.ok && result.response.find("<case ixBug=") != std::string::npos;
  Command("logoff", {{"token", token}});
  return created;
}

}  // namespace ruvex
