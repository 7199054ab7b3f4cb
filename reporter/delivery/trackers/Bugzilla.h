#pragma once
// A Bugzilla server through XML-RPC: version and logon check, products
// with their components and versions, the field values, the new bug and
// its attachments streamed as base64 members.
#include <optional>
#include <string>

#include "reporter/delivery/trackers/TrackerIssue.h"

namespace ruvex {

// One struct member; empty when value is (empty members are left out).
// Text is escaped for XML. asArray wraps the value in a one-entry array.
std::string XmlRpcMemberText(const std::string& name, const std::string& type, const std::u16string& value,
                             bool asArray = false);

class TBugzilla {
 public:
  TBugzilla(THttpSession& session, TTrackerAccount account, TTrackerServices services)
      : session_(session), account_(TrackerAccount(std::move(account))), services_(std::move(services)) {}

  bool Init();
  // The id of the new bug; nullopt on failure.
  std::optional<std::string> Upload(const TTrackerIssue& issue);
  const TTrackerLists& Lists() const { return lists_; }

  // The answer's "<value>" content; nullopt on failure (fault text as last error).
  std::optional<std::string> Call(const std::string& method, const std::string& members, bool logon,
                                  kelvane::IFileReader* file = nullptr);

 private:
  void ReadProducts();
  void ReadFields();

  THttpSession& session_;
  TTrackerAccount account_;
  TTrackerServices services_;
  TTrackerLists lists_;
  bool initDone_ = false, serverOk_ = false, logonOk_ = false;
};

}  // namespace ruvex
