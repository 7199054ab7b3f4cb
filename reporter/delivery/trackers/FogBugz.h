#pragma once
// A FogBugz server through its XML command interface: version check,
// logon, the value lists, the new case as a form upload, logoff.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "reporter/delivery/trackers/TrackerIssue.h"

namespace ruvex {

class TFogBugz {
 public:
  TFogBugz(THttpSession& session, TTrackerAccount account, TTrackerServices services)
      : session_(session), account_(TrackerAccount(std::move(account))), services_(std::move(services)) {}

  // Once per object: true when the server is usable and the logon worked.
  bool Init();
  bool Upload(const TTrackerIssue& issue);
  const TTrackerLists& Lists() const { return lists_; }

  using TParameters = std::vector<std::pair<std::string, std::u16string>>;
  // The "<response>" content of a command; nullopt on failure (last error set).
  std::optional<std::string> Command(const std::string& command, const TParameters& parameters);

 private:
  bool CheckServer();
  std::u16string Logon();
  void ReadLists(const std::u16string& token);

  THttpSession& session_;
  TTrackerAccount account_;
  TTrackerServices services_;
  TTrackerLists lists_;
  std::string script_;
  bool initDone_ = false, serverOk_ = false, logonOk_ = false;
};

}  // namespace ruvex
