#include "reporter/delivery/transport/TlsStream.h"

namespace ruvex {

std::unique_ptr<IByteStream> CreateTlsStream(std::unique_ptr<IByteStream> inner, TTlsOptions) { return inner; }

}  // namespace ruvex
