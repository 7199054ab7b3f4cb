// disasm: what the reporter sees of 32-bit and 64-bit code.
//
//   disasm IMAGE [EXPORT | ADDRESS] [options]   a PE file laid out at its image base
//   disasm --raw FILE --base ADDRESS [options]  raw bytes at an address
//
// Without an export or address the image's entry point is used. Options:
//   --count N        instructions to print (default 20)
//   --function       the listing of the function at the address instead
//   --exception A    mark the instruction at A in the listing
//   --limit N        keep N lines before and after the marked line
//   --no-format      no labels or separators in the listing
//   --64             raw bytes are 64-bit code (a PE32+ image always is);
//                    the function listing reads 32-bit code only
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/text/Utf.h"
#include "reporter/engines/pe/exports/Exports.h"
#include "reporter/engines/x86/FunctionListing.h"
#include "reporter/engines/pe/headers/ImageMemory.h"

namespace {

using namespace ruvex;

struct TArguments {
  std::string file;
  std::string where;  // export name or address, may be empty
  bool raw = false;
  Address base = 0;
  bool haveBase = false;
  unsigned count = 20;
  bool function = false;
  Address exception = 0;
  unsigned limit = 0;
  bool format = true;
  bool mode64 = false;
};

int Usage(const char* error) {
  if (error) std::fprintf(stderr, "disasm: %s\n", error);
  std::fprintf(stderr,
               "usage: disasm IMAGE [EXPORT|ADDRESS] [--count N] [--function] [--exception A] [--limit N] [--no-format] [--64]\n"
               "       disasm --raw FILE --base ADDRESS [the same options]\n");
  return 2;
}

bool ParseNumber(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 0);
  return end && *end == '\0';
}

bool ParseArguments(int argc, char** argv, TArguments& a, std::string& error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::uint64_t& out) {
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], out)) {
        error = "option " + arg + " needs a number";
        return false;
      }
      ++i;
      return true;
    };
    std::uint64_t n = 0;
    if (arg == "--raw") a.raw = true;
    else if (arg == "--function") a.function = true;
    else if (arg == "--no-format") a.format = false;
    else if (arg == "--64") a.mode64 = true;
    else if (arg == "--base") { if (!value(n)) return false; a.base = n; a.haveBase = true; }
    else if (arg == "--count") { if (!value(n)) return false; a.count = static_cast<unsigned>(n); }
    else if (arg == "--exception") { if (!value(n)) return false; a.exception = n; }
    else if (arg == "--limit") { if (!value(n)) return false; a.limit = static_cast<unsigned>(n); }
    else if (arg.rfind("--", 0) == 0) { error = "unknown option " + arg; return false; }
    else positional.push_back(arg);
  }
  if (positional.empty() || positional.size() > 2) { error = "expected a file and at most one export or address"; return false; }
  a.file = positional[0];
  if (positional.size() == 2) a.where = positional[1];
  if (a.raw && !a.haveBase) { error = "--raw needs --base"; return false; }
  return true;
}

std::string Narrow(const std::u16string& s) { return kelvane::Utf16ToUtf8(s); }

}  // namespace

int main(int argc, char** argv) {
  TArguments args;
  std::string error;
  if (!ParseArguments(argc, argv, args, error)) return Usage(error.c_str());

  TImageMemory images;
  std::unique_ptr<TBufferMemory> rawMemory;
  const IMemoryReader* memory = &images;
  Address start = 0;
  TCodeNames names;
  if (args.raw) {
    std::ifstream file(args.file, std::ios::binary);
    if (!file) return std::fprintf(stderr, "disasm: cannot read %s\n", args.file.c_str()), 1;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    rawMemory = std::make_unique<TBufferMemory>(args.base, std::move(bytes));
    memory = rawMemory.get();
    start = args.base;
  } else {
    if (!images.AddImageFile(args.file, &error))
      return std::fprintf(stderr, "disasm: %s: %s\n", args.file.c_str(), error.c_str()), 1;
    const ModuleEntry module = images.Modules().front();
    const TNtHeaders* headers = images.HeadersAt(module.base);
    start = module.base + (headers ? headers->addressOfEntryPoint : 0);
    if (headers && headers->pe32Plus) args.mode64 = true;
    names.modules = &images;
    names.ownModuleBase = module.base;
    names.nameAt = [&images](Address a) -> std::u16string {
      std::optional<ModuleEntry> m = images.ModuleAt(a);
      return m ? ExportName(images, m->base, a, true) : std::u16string();
    };
    if (!args.where.empty()) {
      std::uint64_t address = 0;
      if (ParseNumber(args.where, address)) {
        start = address;
      } else if (std::optional<std::uint32_t> rva = ExportEntryByName(images, module.base, args.where)) {
        start = module.base + *rva;
      } else {
        return std::fprintf(stderr, "disasm: no export named %s in %s\n", args.where.c_str(), args.file.c_str()), 1;
      }
    }
  }
  if (args.raw && !args.where.empty()) {
    std::uint64_t address = 0;
    if (!ParseNumber(args.where, address)) return Usage("with --raw the start is an address");
    start = address;
  }
  if (!memory->RegionAt(start))
    return std::fprintf(stderr, "disasm: address $%llx is not inside the file's memory\n",
                        static_cast<unsigned long long>(start)), 1;

  if (args.function && args.mode64) return std::fprintf(stderr, "disasm: the function listing reads 32-bit code only\n"), 1;
  if (args.function) {
    TListingOptions options;
    options.format = args.format;
    options.lineLimit = args.limit;
    options.names = names;
    options.parse.modules = names.modules;
    TFunctionInfo info;
    std::u16string listing = FunctionListing(*memory, start, args.exception, options, &info);
    if (!info.IsValid) {
      std::fprintf(stderr, "disasm: no function at $%llx: %s (error $%x at $%llx)\n",
                   static_cast<unsigned long long>(start), info.LastErrorStr.c_str(), info.LastErrorNo,
                   static_cast<unsigned long long>(info.LastErrorAddr));
      return 1;
    }
    std::string text = Narrow(listing);
    for (std::size_t at; (at = text.find('\r')) != std::string::npos;) text.erase(at, 1);
    std::printf("%s\n", text.c_str());
    return 0;
  }
  Address at = start;
  for (unsigned i = 0; i < args.count && memory->RegionAt(at); ++i) {
    TInstrInfo info;
    const std::u16string line = args.mode64 ? InstrText64(*memory, at, info, names) : InstrText(*memory, at, nullptr, info, names);
    std::printf("%s\n", Narrow(line).c_str());
    at = info.valid ? info.nextAddr : at + 1;
  }
  return 0;
}
