#include "reporter/delivery/trackers/Mantis.h"

#include "common/text/Utf.h"
#include "reporter/delivery/mime/MailText.h"
#include "reporter/delivery/trackers/ExtractXml.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

using kelvane::Utf8ToUtf16;

constexpr char kEnvelopeHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<SOAP-ENV:Body>";
constexpr char kEnvelopeEnd[] = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

std::string Typed(const std::string& name, const std::string& type, const std::string& text) {
  return "<" + name + " xsi:type=\"xsd:" + type + "\">" + text + "</" + name + ">";
}

std::u16string Child(const std::string& item, std::string_view tag) {
  return Utf8ToUtf16(XmlElementValue(item, tag).value_or(""));
}


}  // namespace

std::u16string MantisOperatingSystem(std::u16string os) {
  const std::size_t build = os.find(u"build");
  if (build != std::u16string::npos && build > 0) os.resize(build - 1);
  if (os.size() > 31) {
    os.resize(31);
    // Never half a character: a lone high surrogate goes too.
    if (os.back() >= 0xD800 && os.back() <= 0xDBFF) os.pop_back();
  }
  return os;
}

std::optional<std::string> TMantis::Call(const std::string& method, const std::string& parameters, bool logon,
                                         const std::string& referenced, kelvane::IFileReader* file) {
  std::string head = kEnvelopeHead + ("<ns1:" + method + " xmlns:ns1=\"ns1\">");
  if (logon)
    head += Typed("username", "string", XmlText(account_.user)) + Typed("password", "string", XmlText(account_.password));
  head += parameters;
  THttpBody body;
  const std::string close = "</ns1:" + method + ">" + referenced + kEnvelopeEnd;
  if (file) {
    body.AddText(head + "<content xsi:type=\"xsd:base64Binary\">");
    body.AddFile(file, true);
    body.AddText("</content>" + close);
  } else {
    body.AddText(head + close);
  }
  IProgressAlert* progress = services_.progress;
  const int area = progress ? progress->GetCurrentArea() : 0;
  const int position = progress ? progress->GetPosition() : 0;
  TBodyProgress bodyProgress;
  if (progress) bodyProgress.position = [progress](int perMille) { progress->SetPosition(perMille); };
  const auto restart = [&] {
    if (progress) progress->SetCurrentArea(area), progress->SetPosition(position);
  };
  const THttpOutcome outcome =
      session_.Send("POST", account_.basePath + "/api/soap/mantisconnect.php/" + method, {"Content-Type: text/xml"},
                    &body, bodyProgress, restart);
  // SOAP faults come with status 500; their text says more than the status.
  if (!outcome.ok && outcome.status != 500) return std::nullopt;
  if (outcome.ok)
    if (std::optional<std::string> value = XmlElement(outcome.answer, "<return")) return value;
  const std::u16string fault = Utf8ToUtf16(XmlElementValue(outcome.answer, "<faultstring").value_or(""));
  if (outcome.ok || !fault.empty())
    session_.SetTrackerError(fault.empty() ? u"The server's answer could not be read" : fault);
  return std::nullopt;
}

void TMantis::ReadProjects(const std::string& items, const std::u16string& prefix) {
  for (const std::string& item : XmlElements(items, "<item")) {
    const std::string own = WithoutXmlElement(item, "<subprojects");
    const std::u16string name = prefix + Child(own, "<name");
    lists_.projects.push_back(name);
    lists_.projectIds.push_back(Child(own, "<id"));
    if (const std::optional<std::string> subprojects = XmlElement(item, "<subprojects"))
      ReadProjects(*subprojects, name + u"/");
  }
}

void TMantis::ReadEnumeration(const std::string& method, TTextList& names, TTextList& ids) {
  const std::optional<std::string> answer = Call(method, "", true);
  if (!answer) return;
  for (const std::string& item : XmlElements(*answer, "<item")) {
    names.push_back(Child(item, "<name"));
    ids.push_back(Child(item, "<id"));
  }
}

void TMantis::ReadProjectLists(const std::string& access) {
  const std::size_t count = lists_.projects.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::u16string& project = lists_.projects[i];
    const std::string id = Typed("project_id", "integer", XmlText(lists_.projectIds[i]));
    if (const auto answer = Call("mc_project_get_categories", id, true)) {
      for (const std::string& category : XmlElements(*answer, "<item")) {
        lists_.areas.push_back(Utf8ToUtf16(XmlValue(category)));
        lists_.areaProjects.push_back(project);
      }
    }
    if (const auto answer = Call("mc_project_get_versions", id, true)) {
      for (const std::string& item : XmlElements(*answer, "<item")) {
        lists_.versions.push_back(Child(item, "<name"));
        lists_.versionProjects.push_back(project);
      }
    }
    if (const auto answer = Call("mc_project_get_users", id + access, true)) {
      for (const std::string& item : XmlElements(*answer, "<item")) {
        lists_.users.push_back(Child(item, "<name"));
        lists_.userIds.push_back(Child(item, "<id"));
        lists_.userProjects.push_back(project);
      }
    }
    SetTrackerPosition(services_, static_cast<int>(150 + (i + 1) * 750 / count));
  }
}

bool TMantis::Init() {
  if (initDone_) return serverOk_;
  initDone_ = true;
  if (const std::optional<std::string> version = Call("mc_version", "", false)) lists_.version = Utf8ToUtf16(XmlValue(*version));
  serverOk_ = !lists_.version.empty();
  SetTrackerPosition(services_, 50);
  if (!serverOk_) return false;
  const std::optional<std::string> projects = Call("mc_projects_get_user_accessible", "", true);
  logonOk_ = projects.has_value();
  if (projects) ReadProjects(*projects, u"");
  SetTrackerPosition(services_, 100);
  TTextList levels, levelIds;
  ReadEnumeration("mc_enum_access_levels", levels, levelIds);
  std::string access;
  for (std::size_t i = 0; i < levels.size() && i < levelIds.size(); ++i)
    if (levels[i] == u"developer") access = Typed("access", "integer", XmlText(levelIds[i]));
  SetTrackerPosition(services_, 150);
  ReadProjectLists(access);
  ReadEnumeration("mc_enum_priorities", lists_.priorities, lists_.priorityIds);
  SetTrackerPosition(services_, 900);
  ReadEnumeration("mc_enum_severities", lists_.severities, lists_.severityIds);
  SetTrackerPosition(services_, 950);
  return true;
}

std::optional<std::string> TMantis::Upload(const TTrackerIssue& issue) {
  TAttachmentSet set;
  const std::vector<TOpenedFile> files = OpenTrackerFiles(issue, services_, set);
  if (!Init()) return std::nullopt;
  std::u16string project = issue.project, area = issue.area, version = issue.version, user = issue.assignTo;
  std::u16string priority = u"normal", severity = u"crash";
  // Escaped, never stripped: the description is the user's own account of the fault.
  const std::u16string& description = issue.description;
  CheckListValue(project, lists_.projects, {});  // the owner the other lists are matched under
  if (!CheckDoubleListValue(version, lists_.versions, {}, lists_.versionProjects, project)) version.clear();
  if (!CheckDoubleListValue(user, lists_.users, lists_.userIds, lists_.userProjects, project)) user.clear();
  if (!CheckListValue(priority, lists_.priorities, lists_.priorityIds)) priority.clear();
  if (!CheckListValue(severity, lists_.severities, lists_.severityIds)) severity.clear();
  CheckDoubleListValue(area, lists_.areas, {}, lists_.areaProjects, project);
  std::u16string projectId = project;
  CheckListValue(projectId, lists_.projects, lists_.projectIds);
  const std::u16string os = MantisOperatingSystem(issue.operatingSystem);

  const auto objectRef = [](const char* name, int id, const char* type, const std::u16string& value) {
    return std::string("<ns2:") + name + " id=\"" + std::to_string(id) + "\" xsi:type=\"ns2:" + type + "\" xmlns:ns2=\"ns2\">" +
           Typed("id", "long", XmlText(value)) + "</ns2:" + name + ">";
  };
  std::string referenced = "<ns2:IssueData id=\"1\" xsi:type=\"ns2:IssueData\" xmlns:ns2=\"ns2\"><project href=\"#2\"/>";
  if (!version.empty()) referenced += Typed("version", "string", XmlText(version));
  if (!user.empty()) referenced += "<handler href=\"#3\"/>";
  if (!priority.empty()) referenced += "<priority href=\"#4\"/>";
  if (!severity.empty()) referenced += "<severity href=\"#5\"/>";
  referenced += Typed("summary", "string", XmlText(issue.title)) + Typed("category", "string", XmlText(area)) +
                Typed("os", "string", XmlText(os)) + Typed("description", "string", XmlText(description)) +
                "</ns2:IssueData>";
  // The referenced elements stand outside IssueData's element, so each
  // binds the ns2 prefix itself.
  referenced += objectRef("project", 2, "ObjectRef", projectId);
  if (!user.empty()) referenced += objectRef("handler", 3, "AccountData", user);
  if (!priority.empty()) referenced += objectRef("priority", 4, "ObjectRef", priority);
  if (!severity.empty()) referenced += objectRef("severity", 5, "ObjectRef", severity);
  const std::optional<std::string> issueId = Call("mc_issue_add", "<issue href=\"#1\"/>", true, referenced);
  TrackerAreaDone(services_);
  if (!issueId) return std::nullopt;
  const std::string id = XmlValue(*issueId);
  if (id.empty()) return std::nullopt;
  for (const TOpenedFile& file : files) {
    if (file.file->Size() == 0) continue;
    const std::string parameters = Typed("issue_id", "long", XmlText(Utf8ToUtf16(id))) +
                                   Typed("name", "string", XmlText(file.sendAsName)) +
                                   Typed("file_type", "string", MimeTypeOf(file.sendAsName));
    const bool attached = Call("mc_issue_attachment_add", parameters, true, {}, file.file).has_value();
    TrackerAreaDone(services_);
    if (!attached) return std::nullopt;
  }
  return id;
}

}  // namespace ruvex
