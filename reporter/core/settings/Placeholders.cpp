#include <array>
#include <cstdio>

#include "common/text/Windows1252.h"
#include "common/text/FileNames.h"
#include "reporter/core/settings/Settings.h"

namespace ruvex {

using kelvane::DecodeWindows1252;
using kelvane::StartsWithIgnoreCase;
using kelvane::FileNameOf;
using kelvane::FolderOf;
namespace {

std::u16string DateText(const TLocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return DecodeWindows1252(buf);
}

std::u16string TimeText(const TLocalTime& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d, %dms", t.hour, t.minute, t.second, t.millisecond);
  return DecodeWindows1252(buf);
}

std::u16string VersionOf(const ISettingsHost& host, ModuleHandle module, const std::u16string& versionVar) {
  if (!versionVar.empty()) return versionVar;
  if (auto version = host.FileVersion(module); version && !version->empty()) return *version;
  return u"?";
}

std::u16string Folder(const ISettingsHost& host, TShellFolder which) {
  std::u16string folder;
  if (auto found = host.ShellFolder(which); found && !found->empty())
    folder = *found;
  else
    folder = FolderOf(host.ModuleFileName(host.ExecutableModule()));
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  return folder;
}

enum class TPlaceholder {
  appname, modname, appversion, modversion, exceptClass, exceptMsg, bugReport, lineFeed, date, time,
  datetime, computerName, os, errorDetails, desktop, userappdata, commonappdata, localappdata
};

struct TPlaceholderName { std::u16string_view text; TPlaceholder which; };

constexpr std::array<TPlaceholderName, 18> kPlaceholders{{
    {u"%appname%", TPlaceholder::appname}, {u"%modname%", TPlaceholder::modname},
    {u"%appversion%", TPlaceholder::appversion}, {u"%modversion%", TPlaceholder::modversion},
    {u"%exceptClass%", TPlaceholder::exceptClass}, {u"%exceptMsg%", TPlaceholder::exceptMsg},
    {u"%bugReport%", TPlaceholder::bugReport}, {u"%LF%", TPlaceholder::lineFeed},
    {u"%date%", TPlaceholder::date}, {u"%time%", TPlaceholder::time},
    {u"%datetime%", TPlaceholder::datetime}, {u"%computerName%", TPlaceholder::computerName},
    {u"%os%", TPlaceholder::os}, {u"%errorDetails%", TPlaceholder::errorDetails},
    {u"%desktop%", TPlaceholder::desktop}, {u"%userappdata%", TPlaceholder::userappdata},
    {u"%commonappdata%", TPlaceholder::commonappdata}, {u"%localappdata%", TPlaceholder::localappdata},
}};

// Values are worked out on first use only: some ask the system.
class TPlaceholderExpander {
 public:
  TPlaceholderExpander(const ISettingsHost& host, ModuleHandle module, const TPlaceholderValues& values)
      : host_(host), module_(module), values_(values) {}

  std::u16string Value(TPlaceholder which) {
    switch (which) {
      case TPlaceholder::appname: return FileNameOf(host_.ModuleFileName(host_.ExecutableModule()));
      case TPlaceholder::modname: return FileNameOf(host_.ModuleFileName(module_));
      case TPlaceholder::appversion: return VersionOf(host_, host_.ExecutableModule(), values_.appVersionVar);
      case TPlaceholder::modversion: return VersionOf(host_, module_, values_.modVersionVar);
      case TPlaceholder::exceptClass: return values_.exceptClass;
      case TPlaceholder::exceptMsg: return values_.exceptMsg.empty() ? u"Unknown" : values_.exceptMsg;
      case TPlaceholder::bugReport: return values_.bugReport;
      case TPlaceholder::lineFeed: return u"\r\n";
      case TPlaceholder::date: return DateText(Now());
      case TPlaceholder::time: return TimeText(Now());
      case TPlaceholder::datetime: return DateText(Now()) + u", " + TimeText(Now());
      case TPlaceholder::computerName: return host_.ComputerName();
      case TPlaceholder::os: return host_.OsDescription();
      case TPlaceholder::errorDetails: return values_.errorDetails;
      case TPlaceholder::desktop: return Folder(host_, TShellFolder::desktop);
      case TPlaceholder::userappdata: return Folder(host_, TShellFolder::userAppData);
      case TPlaceholder::commonappdata: return Folder(host_, TShellFolder::commonAppData);
      case TPlaceholder::localappdata: return Folder(host_, TShellFolder::localAppData);
    }
    return {};
  }

 private:
  // Date and time are taken once per expansion.
  const TLocalTime& Now() {
    if (!haveNow_) {
      now_ = host_.LocalTime();
      haveNow_ = true;
    }
    return now_;
  }

  const ISettingsHost& host_;
  ModuleHandle module_;
  const TPlaceholderValues& values_;
  bool haveNow_ = false;
  TLocalTime now_;
};

}  // namespace

std::u16string ExpandPlaceholders(const ISettingsHost& host, ModuleHandle module, std::u16string_view text,
                                  const TPlaceholderValues& values) {
  if (text.find(u'%') == std::u16string_view::npos) return std::u16string(text);
  TPlaceholderExpander expander(host, module, values);
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'%') {
      const TPlaceholderName* match = nullptr;
      for (const auto& p : kPlaceholders)
        if (StartsWithIgnoreCase(text.substr(i), p.text)) {
          match = &p;
          break;
        }
      if (match) {
        out += expander.Value(match->which);
        i += match->text.size();
        continue;
      }
    }
    out.push_back(text[i++]);
  }
  return out;
}

}  // namespace ruvex
