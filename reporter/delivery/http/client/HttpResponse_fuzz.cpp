// Answers from a server are untrusted: any bytes, split anywhere, must
// parse or be refused without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reporter/delivery/http/client/HttpResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ruvex::THttpResponse response;
  ruvex::ParseHttpResponse(bytes, false, response);
  ruvex::ParseHttpResponse(bytes, true, response);
  // The same bytes as a stream still arriving: every prefix.
  if (size < 512)
    for (std::size_t cut = 0; cut < size; cut += 7) ruvex::ParseHttpResponse(bytes.substr(0, cut), false, response);
  return 0;
}
