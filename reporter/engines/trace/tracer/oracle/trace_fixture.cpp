// Traces a stack fixture the oracle wrote: the image file, the stack dump,
// the pointer width, the registers at the fault and the function symbols. Prints the listed
// call stack, one location per line. With a third argument the frame
// pointer is left out and the trace relies on call sites alone.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/text/Utf.h"
#include "reporter/engines/trace/tracer/StackTrace.h"
#include "reporter/engines/trace/support/TraceFakes.h"

int main(int argc, char** argv) {
  using namespace ruvex;
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: trace_fixture <fixture.txt> <fixture.stack> [no-frame-pointer]\n";
    return 2;
  }
  const bool useFramePointer = argc == 3;
  testing::TFakeTraceHost host;
  std::ifstream text(argv[1]);
  std::string line, image;
  Address stackBase = 0, stackTop = 0, eip = 0, esp = 0, ebp = 0;
  auto map = std::make_shared<TMapFile>();
  while (std::getline(text, line)) {
    std::istringstream in(line);
    std::string key;
    in >> key >> std::hex;
    if (key == "image") {
      in >> image;
    } else if (key == "pointer") {
      in >> host.pointerSize;
    } else if (key == "stack") {
      in >> stackBase >> stackTop;
    } else if (key == "registers") {
      in >> eip >> esp >> ebp;
    } else if (key == "symbol") {
      Address address = 0;
      std::string name;
      in >> address >> name;
      map->AddPublic(true, kelvane::Utf8ToUtf16(name), address);
    }
  }
  std::string error;
  if (!host.process.images.AddImageFile(image, &error)) {
    std::cerr << "cannot lay out " << image << ": " << error << "\n";
    return 1;
  }
  const ModuleEntry module = host.process.images.Modules().at(0);
  std::ifstream stackFile(argv[2], std::ios::binary);
  std::vector<std::uint8_t> stack((std::istreambuf_iterator<char>(stackFile)), std::istreambuf_iterator<char>());
  host.process.buffers.emplace_back(stackBase, stack, false);
  map->AddSegment(true, module.base, static_cast<std::uint32_t>(module.size), u"programs");
  map->SortSegments();
  map->SortPublics();
  map->SetValid(true);
  host.symbols[module.base] = map;

  TTraceRequest request;
  TStackTrace items;
  request.stackTrace = &items;
  request.currentAddress = eip;
  request.isException = true;
  request.externalException = true;
  request.stackBottom = esp;
  request.stackTop = stackTop;
  request.framePointer = useFramePointer ? ebp : 0;
  TStackTracer tracer(host);
  const std::u16string result = tracer.TraceStack(request);
  if (items.empty()) std::cerr << kelvane::Utf16ToUtf8(result) << "\n";
  for (const TStackItem& item : items)
    std::printf("%08llx %s\n", static_cast<unsigned long long>(item.Addr), kelvane::Utf16ToUtf8(item.FunctionName).c_str());
  return 0;
}
