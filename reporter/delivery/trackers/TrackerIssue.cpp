#include "reporter/delivery/trackers/TrackerIssue.h"

#include "common/text/Utf.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

std::vector<TOpenedFile> OpenTrackerFiles(const TTrackerIssue& issue, const TTrackerServices& services,
                                          TAttachmentSet& set) {
  kelvane::IFileSystem& fileSystem = services.files ? *services.files : kelvane::DefaultFileSystem();
  OpenAttachmentFiles(services.progress, services.caption, issue.paths, false, false, fileSystem, set);
  std::vector<TOpenedFile> files;
  for (std::size_t i = 0; i < set.files.size(); ++i)
    if (set.files[i]) files.push_back({i < issue.sendAsNames.size() ? issue.sendAsNames[i] : u"file", set.files[i].get()});
  return files;
}

void SetTrackerPosition(const TTrackerServices& services, int perMille) {
  if (services.progress) services.progress->SetPosition(perMille);
}

void TrackerAreaDone(const TTrackerServices& services) {
  if (services.progress) services.progress->AreaDone();
}

std::string UrlEscape(const std::u16string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : kelvane::Utf16ToUtf8(text)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string XmlText(const std::u16string& text) {
  std::string out;
  for (char c : kelvane::Utf16ToUtf8(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace ruvex
