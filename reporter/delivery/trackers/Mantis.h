#pragma once
// A Mantis server through its SOAP interface: version, the projects the
// account may reach with their categories, versions and developers, the
// enumerations, the new issue and its attachments.
#include <optional>
#include <string>

#include "reporter/delivery/trackers/TrackerIssue.h"

namespace ruvex {

// The operating system as the issue form takes it: cut before " build"
// and to at most 31 characters.
std::u16string MantisOperatingSystem(std::u16string os);

class TMantis {
 public:
  TMantis(THttpSession& session, TTrackerAccount account, TTrackerServices services)
      : session_(session), account_(TrackerAccount(std::move(account))), services_(std::move(services)) {}

  bool Init();
  // The id of the new issue (MantisLastIssueId); nullopt on failure.
  std::optional<std::string> Upload(const TTrackerIssue& issue);
  const TTrackerLists& Lists() const { return lists_; }

  // The "<return" content; nullopt on failure (fault text as last error).
  // parameters go inside the method element, referenced behind it.
  std::optional<std::string> Call(const std::string& method, const std::string& parameters, bool logon,
                                  const std::string& referenced = {}, kelvane::IFileReader* file = nullptr);

 private:
  void ReadProjects(const std::string& items, const std::u16string& prefix);
  void ReadProjectLists(const std::string& access);
  void ReadEnumeration(const std::string& method, TTextList& names, TTextList& ids);

  THttpSession& session_;
  TTrackerAccount account_;
  TTrackerServices services_;
  TTrackerLists lists_;
  bool initDone_ = false, serverOk_ = false, logonOk_ = false;
};

}  // namespace ruvex
