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

#include "BenchRows.h"
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

  // Each lookup kind over all probes, several times: the median per lookup.
  auto time = [&](const char* what, auto lookup) {
    std::uint64_t sum = 0;
    bench::TTiming timing = bench::Measure([&] {
      for (Address p : probes) sum += lookup(p);
    });
    timing.median /= double(probes.size());
    std::printf("  %-34s %7.1f ns  (spread %.0f%%, checksum %llu)\n", what, timing.median * 1e9,
                timing.spread * 100, static_cast<unsigned long long>(sum));
    return timing;
  };
  auto upper = [](const std::vector<Address>& keys) {
    return [&keys](Address p) -> std::uint64_t {
      auto it = std::upper_bound(keys.begin(), keys.end(), p);
      return it == keys.begin() ? 0 : *std::prev(it);
    };
  };
  std::printf("lookups of %zu random code addresses:\n", probes.size());
  const bench::TTiming pub = time("FindPublic", [&](Address p) { return fromCompact.FindPublic(p).Address; });
  const bench::TTiming index = time("PublicIndexAt (no record copy)", [&](Address p) {
    const int i = fromCompact.PublicIndexAt(p);
    return i < 0 ? 0 : publicKeys[i];
  });
  const bench::TTiming pubRef = time("std::upper_bound over publics", upper(publicKeys));
  const bench::TTiming line = time("FindLine", [&](Address p) { return std::uint64_t(fromCompact.FindLine(p)); });
  const bench::TTiming lineRef = time("std::upper_bound over lines", upper(lineKeys));
  const bench::TTiming seg = time("FindSegment", [&](Address p) { return fromCompact.FindSegment(true, p).StartAddress; });
  std::printf("ratio to std::upper_bound: FindPublic %.2f (its search alone %.2f; the rest copies the name), "
              "FindLine %.2f (it also finds the segment: %.1f ns)\n",
              pub.median / pubRef.median, index.median / pubRef.median, line.median / lineRef.median,
              seg.median * 1e9);
  bench::Row("FindPublic, ns/lookup", pub, "std::upper_bound", pubRef, 1e9, "ns");
  bench::Row("FindLine, ns/lookup", line, "std::upper_bound", lineRef, 1e9, "ns");
  const bench::TTiming textLoadTiming{textLoad, 0}, compactLoadTiming{compactLoad, 0};
  bench::Row("load compact symbol data, ms", compactLoadTiming, "load text map", textLoadTiming, 1e3, "ms");
  return 0;
}
