// bench_symbols [publics]: loads a synthetic module of `publics` functions
// (ten lines each) from a text map and from compact data, then times
// FindPublic and FindLine against std::upper_bound over the same addresses.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/text/Utf.h"
#include "reporter/engines/symbols/readers/CompactSymbols.h"
#include "reporter/engines/symbols/readers/TextMap.h"
#include "tools/symbols/TextMapWriter.h"

using namespace ruvex;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

TMapFile Synthetic(int publics) {
  constexpr Address kBase = 0x401000;
  std::mt19937 rng(3);
  TMapFile m;
  Address a = kBase;
  std::vector<std::pair<Address, int>> functions;
  for (int i = 0; i < publics; ++i) {
    functions.emplace_back(a, i);
    a += 16 + rng() % 400;
  }
  m.SetCodeRange(kBase, a);
  for (int u = 0; u * 50 < publics; ++u) {
    const Address start = functions[u * 50].first;
    const Address end = u * 50 + 50 < publics ? functions[u * 50 + 50].first : a;
    m.AddSegment(true, start, static_cast<std::uint32_t>(end - start), u"unit" + std::u16string(1, u'a' + u % 26) +
                                                                         kelvane::U16(std::to_string(u)) + u".cpp");
  }
  m.SortSegments();
  int line = 1;
  for (std::size_t i = 0; i < functions.size(); ++i) {
    m.AddPublic(true, u"function_" + kelvane::U16(std::to_string(i)), functions[i].first);
    const Address size = (i + 1 < functions.size() ? functions[i + 1].first : a) - functions[i].first;
    for (int l = 0; l < 10; ++l) m.AddLine(line++, functions[i].first + size * l / 10);
  }
  m.SortPublics();
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const int publics = argc > 1 ? std::atoi(argv[1]) : 100000;
  const TMapFile source = Synthetic(publics);
  const std::string text = symbols::WriteTextMap(source);
  const std::string compact = WriteCompactSymbols(source);
  std::printf("%d publics, %d lines; text map %zu bytes, compact %zu bytes\n", source.PublicCount(),
              source.LineCount(), text.size(), compact.size());

  auto t = Clock::now();
  TMapFile fromText;
  fromText.SetCodeRange(source.BaseOfCode(), source.TopOfCode());
  ParseTextMap(text, fromText);
  fromText.SortLines();
  const double textLoad = Seconds(t);
  t = Clock::now();
  TMapFile fromCompact;
  fromCompact.SetCodeRange(source.BaseOfCode(), source.TopOfCode());
  ParseCompactSymbols(compact, fromCompact);
  fromCompact.SortLines();
  const double compactLoad = Seconds(t);
  std::printf("load: text map %.1f ms, compact %.1f ms\n", textLoad * 1e3, compactLoad * 1e3);

  std::mt19937 rng(5);
  std::vector<Address> probes(2000000);
  for (Address& p : probes) p = source.BaseOfCode() + rng() % (source.TopOfCode() - source.BaseOfCode());
  std::vector<Address> publicKeys, lineKeys;
  for (const TMfPublic& p : fromCompact.Publics()) publicKeys.push_back(p.Address);
  for (const TMfLine& l : fromCompact.Lines()) lineKeys.push_back(l.Address);

  auto time = [&](const char* what, auto lookup) {
    std::uint64_t sum = 0;
    const auto start = Clock::now();
    for (Address p : probes) sum += lookup(p);
    const double ns = Seconds(start) * 1e9 / probes.size();
    std::printf("  %-34s %7.1f ns  (checksum %llu)\n", what, ns, static_cast<unsigned long long>(sum));
    return ns;
  };
  auto upper = [](const std::vector<Address>& keys) {
    return [&keys](Address p) -> std::uint64_t {
      auto it = std::upper_bound(keys.begin(), keys.end(), p);
      return it == keys.begin() ? 0 : *std::prev(it);
    };
  };
  std::printf("lookups of %zu random code addresses:\n", probes.size());
  const double pub = time("FindPublic", [&](Address p) { return fromCompact.FindPublic(p).Address; });
  const double index = time("PublicIndexAt (no record copy)", [&](Address p) {
    const int i = fromCompact.PublicIndexAt(p);
    return i < 0 ? 0 : publicKeys[i];
  });
  const double pubRef = time("std::upper_bound over publics", upper(publicKeys));
  const double line = time("FindLine", [&](Address p) { return std::uint64_t(fromCompact.FindLine(p)); });
  const double lineRef = time("std::upper_bound over lines", upper(lineKeys));
  const double seg = time("FindSegment", [&](Address p) { return fromCompact.FindSegment(true, p).StartAddress; });
  std::printf("ratio to std::upper_bound: FindPublic %.2f (its search alone %.2f; the rest copies the name), "
              "FindLine %.2f (it also finds the segment: %.1f ns)\n",
              pub / pubRef, index / pubRef, line / lineRef, seg);
  return 0;
}
