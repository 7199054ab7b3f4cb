#pragma once
// What every tracker upload is given, and the lists a tracker sends back.
#include <string>
#include <vector>

#include "reporter/delivery/http/upload/CustomScriptPost.h"
#include "reporter/delivery/http/client/HttpSession.h"
#include "reporter/delivery/smtp/AttachmentFiles.h"
#include "reporter/delivery/trackers/ListValues.h"

namespace ruvex {

struct TTrackerIssue {
  std::u16string title, description, project, area, assignTo, version;
  std::u16string computerName, email, operatingSystem, checksum;
  std::vector<TPostField> fields;  // FogBugz: the delivery's additional and mail fields
  std::vector<std::u16string> sendAsNames, paths;
};

struct TTrackerAccount {
  std::string basePath;  // the path of "HttpServer"; a trailing "/" is dropped
  std::u16string user, password;  // "BugTrAccount", "BugTrPassword"
};

// The account with its base path ready for appending "/xmlrpc.cgi" and the like.
inline TTrackerAccount TrackerAccount(TTrackerAccount account) {
  while (!account.basePath.empty() && account.basePath.back() == '/') account.basePath.pop_back();
  return account;
}

struct TTrackerServices {
  kelvane::IFileSystem* files = nullptr;  // null: the platform's files
  IProgressAlert* progress = nullptr;
  TCaptionOf caption;
};

struct TTrackerLists {
  std::u16string version;
  TTextList projects, projectIds, areas, areaProjects, categories, priorities, priorityIds, severities, severityIds,
      oss, platforms, versions, versionProjects, users, userIds, userProjects;
};

// Opens the attachments with their progress areas; the files that opened,
// each with its send-as name.
struct TOpenedFile {
  std::u16string sendAsName;
  kelvane::IFileReader* file = nullptr;
};
std::vector<TOpenedFile> OpenTrackerFiles(const TTrackerIssue& issue, const TTrackerServices& services,
                                          TAttachmentSet& set);

void SetTrackerPosition(const TTrackerServices& services, int perMille);
void TrackerAreaDone(const TTrackerServices& services);

// Percent-escapes every byte of UTF-8 text other than ASCII letters and digits.
std::string UrlEscape(const std::u16string& text);
// Text as it may stand in XML content: the five special characters escaped.
std::string XmlText(const std::u16string& text);

}  // namespace ruvex
