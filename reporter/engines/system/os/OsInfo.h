#pragma once
// The operating system as the bug report names it ("Windows 7 x64 Service
// Pack 1"). The rules work on a version record so that they are tested
// anywhere; OsInfo() fills the record from the running system, once.
#include <cstdint>
#include <string>

namespace ruvex {

enum TOsEnum {
  osNone, osWin95, osWin95osr2, osWin98, osWin98se, osWinME, osWin9xNew, osWinNtOld, osWinNt4,
  osWin2k, osWinXP, osWin2003, osWinVista, osWin2008, osWin7, osWin2008r2, osWin8, osWin2012,
  osWin81, osWin2012r2, osWin10, osWin2016, osWinNtNew,
};

// "Windows 7" etc.
const char16_t* OsEnumText(TOsEnum value);

struct TOS {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::u16string spStr;
  bool win9x = false;
  TOsEnum win9xEnum = osNone;
  bool winNt = false;
  TOsEnum winNtEnum = osNone;
  TOsEnum Enum = osNone;
  bool x64 = false;
  std::uint32_t spNo = 0;
  std::u16string description;
};

// What the system's version queries report.
struct TOsVersionRecord {
  bool nt = true;                 // platform: NT, else 9x
  std::uint32_t major = 0, minor = 0, build = 0;
  std::u16string servicePack;     // "Service Pack 1", may be empty
  bool extended = true;           // service-pack number and product type known
  std::uint32_t servicePackMajor = 0;
  bool workstation = true;        // product type
  bool serverR2 = false, starter = false, mediaCenter = false;  // system metrics
  bool amd64 = false;             // native processor architecture
};

TOS DescribeOs(const TOsVersionRecord& record);

// The running system, computed on first use.
const TOS& OsInfo();

}  // namespace ruvex
