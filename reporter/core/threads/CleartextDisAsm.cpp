#include "reporter/core/threads/CleartextDisAsm.h"

#include <deque>
#include <vector>

#include "reporter/engines/x86/Disasm.h"

namespace ruvex {
namespace {

// Bounds of the straight decoding: how far the exception may lie behind
// the function's start.
constexpr unsigned kMaxInstructionsBefore = 20000;

void JoinLine(std::u16string& text, const std::u16string& line) {
  if (!text.empty()) text += u"\r\n";
  text += line;
}

// The marker stands one blank behind the address, as in the 32-bit listing.
std::u16string Marked(std::u16string line) {
  const std::size_t blank = line.find(u' ');
  if (blank != std::u16string::npos && blank + 1 < line.size() && line[blank + 1] == u' ') line[blank + 1] = u'>';
  return line;
}

std::u16string Listing64(const IMemoryReader& memory, const TDisAsmRequest& r) {
  if (r.address < r.function) return {};
  const unsigned limit = r.limit;
  std::deque<std::u16string> before;
  bool cut = false;
  Address at = r.function;
  TInstrInfo info;
  for (unsigned n = 0;; ++n) {
    if (n >= kMaxInstructionsBefore) return {};
    std::u16string line = InstrText64(memory, at, info, r.names);
    if (!info.valid && at == r.function) return {};
    const Address next = info.valid && info.nextAddr > at ? info.nextAddr : at + 1;
    if (r.address < next) {
      before.push_back(Marked(std::move(line)));
      at = next;
      break;
    }
    before.push_back(std::move(line));
    if (limit && before.size() > limit) {
      before.pop_front();
      cut = true;
    }
    at = next;
  }
  std::u16string text = cut ? u"[...]" : u"";
  for (const std::u16string& line : before) JoinLine(text, line);
  for (unsigned i = 0; i < (limit ? limit : 16); ++i) {
    std::u16string line = InstrText64(memory, at, info, r.names);
    JoinLine(text, line);
    at = info.valid && info.nextAddr > at ? info.nextAddr : at + 1;
  }
  if (limit) JoinLine(text, u"[...]");
  return text;
}

}  // namespace

std::u16string GetCleartextDisAsm(const IMemoryReader& memory, const TDisAsmRequest& request) {
  if (request.function == 0) return {};
  if (request.pointerSize == 8) return Listing64(memory, request);
  TListingOptions options;
  options.format = request.format;
  options.lineLimit = request.limit;
  options.names = request.names;
  options.parse = request.parse;
  return FunctionListing(memory, request.function, request.address, options);
}

}  // namespace ruvex
