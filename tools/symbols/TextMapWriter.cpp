#include "tools/symbols/TextMapWriter.h"

#include <cstdio>

#include "common/text/Utf.h"

namespace ruvex::symbols {

namespace {

std::string Format(const char* format, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

unsigned Offset(const TMapFile& map, Address a) { return static_cast<unsigned>(a - map.BaseOfCode()); }

}  // namespace

std::string WriteTextMap(const TMapFile& map) {
  const Address codeLength = map.TopOfCode() - map.BaseOfCode();
  const Address dataLength = map.TopOfData() - map.BaseOfData();
  std::string out = "\r\n Start         Length     Name                   Class\r\n";
  out += Format(" 0001:%08X %08XH %-23s CODE\r\n", static_cast<unsigned>(map.BaseOfCode()),
                static_cast<unsigned>(codeLength), ".text");
  out += Format(" 0002:%08X %08XH %-23s DATA\r\n", static_cast<unsigned>(map.BaseOfData()),
                static_cast<unsigned>(dataLength), ".data");
  out += "\r\n\r\nDetailed map of segments\r\n\r\n";
  for (const TMfSegment& s : map.Segments())
    if (s.Code)
      out += Format(" 0001:%08X %08X C=CODE     S=.text    G=(none)   M=%-24s ACBP=A9\r\n",
                    Offset(map, s.StartAddress), s.Length, kelvane::Utf16ToUtf8(s.Unit_).c_str());
  out += "\r\n\r\n  Address             Publics by Value\r\n\r\n";
  for (const TMfPublic& p : map.Publics())
    if (p.Code)
      out += Format(" 0001:%08X       %s\r\n", Offset(map, p.Address), kelvane::Utf16ToUtf8(p.Name).c_str());
  for (const TMfSegment& s : map.Segments()) {
    if (!s.Code) continue;
    std::string block;
    int inRow = 0;
    for (const TMfLine& l : map.Lines()) {
      if (l.Address < s.StartAddress || l.Address >= s.End()) continue;
      block += Format("%6d 0001:%08X", l.Line, Offset(map, l.Address));
      block += ++inRow % 4 == 0 ? "\r\n" : " ";
    }
    if (block.empty()) continue;
    const std::string unit = kelvane::Utf16ToUtf8(s.Unit_);
    out += "\r\nLine numbers for " + unit + "(" + unit + ") segment .text\r\n\r\n" + block + "\r\n";
  }
  if (map.EntryPoint())
    out += Format("\r\nProgram entry point at 0001:%08X\r\n", Offset(map, map.EntryPoint()));
  return out;
}

}  // namespace ruvex::symbols
