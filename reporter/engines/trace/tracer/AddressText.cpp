#include "reporter/engines/trace/tracer/StackTrace.h"
#include "common/text/Format.h"
#include "reporter/engines/trace/support/TraceText.h"

namespace ruvex {

std::u16string AddressToText(ITraceHost& host, Address address, bool showRelativeAddrs, bool showRelativeLines) {
  std::u16string text = HexText(address, 2 * host.PointerSize());
  const std::optional<TSymbolAt> symbol = SymbolAt(host, address);
  if (!symbol) return text + (showRelativeAddrs ? u" +0" : u"") + u" ???";
  if (showRelativeAddrs) text += u" +" + HexText(address - symbol->publicAddress, 0);
  text += u" " + symbol->moduleName + u" " + symbol->unit + u" ";
  if (symbol->line > 0) text += kelvane::DecimalText(symbol->line) + u" ";
  if (showRelativeLines) text += u"+" + kelvane::DecimalText(symbol->line - symbol->publicLine) + u" ";
  return text + symbol->publicName;
}

}  // namespace ruvex
