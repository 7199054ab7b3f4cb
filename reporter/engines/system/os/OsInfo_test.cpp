#include "reporter/engines/system/os/OsInfo.h"

#include <gtest/gtest.h>

#include "common/text/Utf.h"

namespace ruvex {
namespace {

TOsVersionRecord Nt(std::uint32_t major, std::uint32_t minor, bool workstation = true) {
  TOsVersionRecord r;
  r.major = major;
  r.minor = minor;
  r.workstation = workstation;
  return r;
}

TOsVersionRecord Win9x(std::uint32_t minor, std::uint32_t build) {
  TOsVersionRecord r;
  r.nt = false;
  r.extended = false;
  r.major = 4;
  r.minor = minor;
  r.build = build;
  return r;
}

TEST(OsInfo, VersionsMapToTheirNames) {
  struct {
    TOsVersionRecord record;
    TOsEnum kind;
  } cases[] = {
      {Win9x(0, 950), osWin95},       {Win9x(0, 1111), osWin95osr2},   {Win9x(10, 1998), osWin98},
      {Win9x(10, 2222), osWin98se},   {Win9x(10, 3000), osWinME},      {Win9x(90, 3000), osWinME},
      {Win9x(91, 0), osWin9xNew},     {Nt(3, 51), osWinNtOld},         {Nt(4, 0), osWinNt4},
      {Nt(5, 0), osWin2k},            {Nt(5, 1), osWinXP},             {Nt(5, 2), osWinXP},
      {Nt(5, 2, false), osWin2003},   {Nt(6, 0), osWinVista},          {Nt(6, 0, false), osWin2008},
      {Nt(6, 1), osWin7},             {Nt(6, 1, false), osWin2008r2},  {Nt(6, 2), osWin8},
      {Nt(6, 2, false), osWin2012},   {Nt(6, 3), osWin81},             {Nt(6, 3, false), osWin2012r2},
      {Nt(6, 4), osWinNtNew},         {Nt(10, 0), osWin10},            {Nt(10, 0, false), osWin2016},
      {Nt(11, 0), osWinNtNew},
  };
  for (const auto& c : cases) {
    const TOS os = DescribeOs(c.record);
    EXPECT_EQ(os.Enum, c.kind) << c.record.major << "." << c.record.minor << " build " << c.record.build;
    EXPECT_EQ(os.winNt, c.record.nt);
    EXPECT_EQ(os.win9x, !c.record.nt);
    EXPECT_EQ(c.record.nt ? os.winNtEnum : os.win9xEnum, c.kind);
    EXPECT_EQ(os.description, OsEnumText(c.kind));
  }
}

TEST(OsInfo, DescriptionCarriesEditionArchitectureAndServicePack) {
  TOsVersionRecord r = Nt(6, 1);
  r.amd64 = true;
  r.servicePack = u"Service Pack 1";
  r.servicePackMajor = 1;
  const TOS os = DescribeOs(r);
  EXPECT_EQ(os.description, u"Windows 7 x64 Service Pack 1");
  EXPECT_TRUE(os.x64);
  EXPECT_EQ(os.spNo, 1u);

  TOsVersionRecord xp = Nt(5, 1);
  xp.mediaCenter = true;
  xp.starter = true;
  EXPECT_EQ(DescribeOs(xp).description, u"Windows XP Starter Media Center");
  TOsVersionRecord vista = Nt(6, 0);
  vista.mediaCenter = true;  // no longer an edition of its own
  EXPECT_EQ(DescribeOs(vista).description, u"Windows Vista");
  TOsVersionRecord r2 = Nt(5, 2, false);
  r2.serverR2 = true;
  EXPECT_EQ(DescribeOs(r2).description, u"Windows 2003 R2");

  // Only the basic record: the number comes from the text.
  TOsVersionRecord basic = Nt(5, 1);
  basic.extended = false;
  basic.servicePack = u"Service Pack 3";
  EXPECT_EQ(DescribeOs(basic).spNo, 3u);
  // The 9x build is the low 16 bits.
  EXPECT_EQ(DescribeOs(Win9x(10, 0x040A08AE)).build, 0x08AEu);
}

}  // namespace
}  // namespace ruvex
