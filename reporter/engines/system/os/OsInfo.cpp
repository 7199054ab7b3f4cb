#include "reporter/engines/system/os/OsInfo.h"

namespace ruvex {
namespace {

const char16_t* const kOsTexts[] = {
    u"None",         u"Windows 95",    u"Windows 95 OSR-2", u"Windows 98",   u"Windows 98 SE",
    u"Windows ME",   u"Windows 9x New", u"Windows NT 3",    u"Windows NT 4", u"Windows 2000",
    u"Windows XP",   u"Windows 2003",  u"Windows Vista",    u"Windows 2008", u"Windows 7",
    u"Windows 2008 R2", u"Windows 8",  u"Windows 2012",     u"Windows 8.1",  u"Windows 2012 R2",
    u"Windows 10",   u"Windows 2016",  u"Windows NT New",
};
static_assert(sizeof kOsTexts / sizeof kOsTexts[0] == osWinNtNew + 1);

TOsEnum Win9xKind(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
  if (major != 4) return osWin9xNew;
  if (minor < 10) return build <= 1000 ? osWin95 : osWin95osr2;
  if (minor == 10) return build <= 2000 ? osWin98 : build <= 2700 ? osWin98se : osWinME;
  if (minor <= 90) return osWinME;
  return osWin9xNew;
}

TOsEnum NtKind(std::uint32_t major, std::uint32_t minor, bool workstation) {
  if (major <= 3) return osWinNtOld;
  if (major == 4) return osWinNt4;
  if (major == 5) {
    if (minor == 0) return osWin2k;
    if (minor == 1) return osWinXP;
    if (minor == 2) return workstation ? osWinXP : osWin2003;
    return osWinNtNew;
  }
  if (major == 6) {
    switch (minor) {
      case 0: return workstation ? osWinVista : osWin2008;
      case 1: return workstation ? osWin7 : osWin2008r2;
      case 2: return workstation ? osWin8 : osWin2012;
      case 3: return workstation ? osWin81 : osWin2012r2;
      default: return osWinNtNew;
    }
  }
  if (major == 10) return workstation ? osWin10 : osWin2016;
  return osWinNtNew;
}

// "Service Pack 3" -> 3: the number from the fourteenth character on.
std::uint32_t ServicePackNumber(const std::u16string& text) {
  std::uint32_t n = 0;
  for (std::size_t i = 13; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && n < 100000; ++i)
    n = n * 10 + (text[i] - u'0');
  return n;
}

}  // namespace

const char16_t* OsEnumText(TOsEnum value) {
  return value >= osNone && value <= osWinNtNew ? kOsTexts[value] : kOsTexts[osNone];
}

TOS DescribeOs(const TOsVersionRecord& r) {
  TOS os;
  os.major = r.major;
  os.minor = r.minor;
  os.spStr = r.servicePack;
  os.x64 = r.amd64;
  os.spNo = r.extended ? r.servicePackMajor : ServicePackNumber(r.servicePack);
  if (r.nt) {
    os.winNt = true;
    os.build = r.build;
    os.winNtEnum = os.Enum = NtKind(r.major, r.minor, r.workstation);
  } else {
    os.win9x = true;
    os.build = r.build & 0xFFFF;
    os.win9xEnum = os.Enum = Win9xKind(r.major, r.minor, os.build);
  }
  os.description = OsEnumText(os.Enum);
  if (os.winNt) {
    if (r.serverR2) os.description += u" R2";
    if (r.starter) os.description += u" Starter";
    if (r.mediaCenter && os.Enum < osWinVista) os.description += u" Media Center";
    if (r.amd64) os.description += u" x64";
    if (!os.spStr.empty()) os.description += u" " + os.spStr;
  }
  return os;
}

}  // namespace ruvex
