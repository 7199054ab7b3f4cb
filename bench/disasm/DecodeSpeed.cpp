// Decodes the .text of a real 32-bit image and of a real x86-64 image
// linearly with our decoder (32-bit and 64-bit mode), Zydis (full decode
// with operands, and its minimal mode without them: its fastest) and
// Capstone (with details), in the same run, and prints instructions per
// second, the ratios and one row per peer (median of several runs).
//   bench_disasm [IMAGE32 [IMAGE64]]
//   (default: msvcrt.dll of build/test-images, ntdll.dll of the wine package)
#include <capstone/capstone.h>

#include <chrono>
#include <cstdio>

#include "BenchRows.h"

#include "reporter/engines/x86/Disasm.h"
#include "reporter/engines/x86/oracle/RealCode.h"
#include "reporter/engines/x86/oracle/ZydisOracle.h"

namespace {

using namespace ruvex;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;

// Decodes everything once per run; the count of instructions of one run.
template <class F>
bench::TTiming Time(F decodeAll, std::size_t& count) {
  return bench::Measure([&] { count = decodeAll(); }, kRuns);
}

// One image in one mode: our decoder against both references.
bool Compare(const std::string& path, bool mode64) {
  oracle::TSection text;
  if (!oracle::ReadTextSection(path, text, mode64 ? oracle::kObjdump64 : oracle::kObjdump32)) {
    std::fprintf(stderr, "bench_disasm: cannot read the .text of %s\n", path.c_str());
    return false;
  }
  const std::vector<std::uint8_t>& bytes = text.bytes;
  TBufferMemory memory(text.address, bytes);

  std::size_t ours = 0, zydisCount = 0, capstoneCount = 0;
  const bench::TTiming oursTime = Time([&] {
    std::size_t n = 0;
    for (Address at = text.address; at < text.address + bytes.size(); ++n) {
      TInstrInfo info = mode64 ? DecodeInstr64(memory, at) : DecodeInstr(memory, at);
      at = info.valid ? info.nextAddr : at + 1;
    }
    return n;
  }, ours);

  ZydisDecoder decoder;
  if (mode64) ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
  else ZydisDecoderInit(&decoder, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  const bench::TTiming zydisTime = Time([&] {
    std::size_t n = 0;
    ZydisDecodedInstruction instr;
    ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
    for (std::size_t off = 0; off < bytes.size(); ++n) {
      if (ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder, bytes.data() + off, bytes.size() - off, &instr, operands)))
        off += instr.length;
      else
        ++off;
    }
    return n;
  }, zydisCount);

  ZydisDecoder minimal = decoder;
  ZydisDecoderEnableMode(&minimal, ZYDIS_DECODER_MODE_MINIMAL, ZYAN_TRUE);
  std::size_t minimalCount = 0;
  const bench::TTiming minimalTime = Time([&] {
    std::size_t n = 0;
    ZydisDecodedInstruction instr;
    ZydisDecoderContext context;
    for (std::size_t off = 0; off < bytes.size(); ++n) {
      if (ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&minimal, &context, bytes.data() + off, bytes.size() - off,
                                                     &instr)))
        off += instr.length;
      else
        ++off;
    }
    return n;
  }, minimalCount);

  csh handle;
  if (cs_open(CS_ARCH_X86, mode64 ? CS_MODE_64 : CS_MODE_32, &handle) != CS_ERR_OK) return false;
  cs_option(handle, CS_OPT_DETAIL, CS_OPT_ON);
  cs_insn* insn = cs_malloc(handle);
  const bench::TTiming capstoneTime = Time([&] {
    std::size_t n = 0;
    const std::uint8_t* code = bytes.data();
    std::size_t size = bytes.size();
    std::uint64_t address = text.address;
    while (size > 0) {
      ++n;
      if (!cs_disasm_iter(handle, &code, &size, &address, insn)) {
        ++code, --size, ++address;
      }
    }
    return n;
  }, capstoneCount);
  cs_free(insn, 1);
  cs_close(&handle);

  const auto rate = [](std::size_t count, const bench::TTiming& t) { return count / t.median; };
  const double oursRate = rate(ours, oursTime);
  std::printf("%s (%s): %zu bytes of .text\n", path.c_str(), mode64 ? "64-bit" : "32-bit", bytes.size());
  std::printf("  ours           %8zu instr  %12.0f instr/s\n", ours, oursRate);
  std::printf("  zydis full     %8zu instr  %12.0f instr/s  (ours %.2fx)\n", zydisCount, rate(zydisCount, zydisTime),
              oursRate / rate(zydisCount, zydisTime));
  std::printf("  zydis minimal  %8zu instr  %12.0f instr/s  (ours %.2fx)\n", minimalCount,
              rate(minimalCount, minimalTime), oursRate / rate(minimalCount, minimalTime));
  std::printf("  capstone       %8zu instr  %12.0f instr/s  (ours %.2fx)\n", capstoneCount,
              rate(capstoneCount, capstoneTime), oursRate / rate(capstoneCount, capstoneTime));
  // Rows in nanoseconds per instruction, each side over its own count.
  const std::string what = std::string("decode ") + (mode64 ? "64-bit" : "32-bit") + " code, ns/instr";
  const auto perInstruction = [](bench::TTiming t, std::size_t count) {
    t.median /= double(count);
    return t;
  };
  bench::Row(what, perInstruction(oursTime, ours), "zydis full decode", perInstruction(zydisTime, zydisCount), 1e9,
             "ns");
  bench::Row(what, perInstruction(oursTime, ours), "zydis minimal decode", perInstruction(minimalTime, minimalCount),
             1e9, "ns");
  bench::Row(what, perInstruction(oursTime, ours), "capstone with details",
             perInstruction(capstoneTime, capstoneCount), 1e9, "ns");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string image32 = argc > 1 ? argv[1] : oracle::SourceDir() + "/build/test-images/i386-windows/msvcrt.dll";
  const std::string image64 = argc > 2 ? argv[2] : oracle::RealImages64().front();
  const bool ok32 = Compare(image32, false);
  const bool ok64 = Compare(image64, true);
  return ok32 && ok64 ? 0 : 1;
}
