#pragma once
// TLS over a byte stream: plain until StartTls, encrypted after it. On
// Windows it is the system's Schannel package; the server's certificate is
// checked (chain to a trusted root, and the server's name) unless a caller
// turns that off on purpose. Elsewhere no encryption is available and
// StartTls says so, so that nothing secret goes out believing it protected.
#include <memory>

#include "reporter/delivery/transport/Transport.h"

namespace ruvex {

struct TTlsOptions {
  bool checkCertificate = true;
};

std::unique_ptr<IByteStream> CreateTlsStream(std::unique_ptr<IByteStream> inner, TTlsOptions options = {});

}  // namespace ruvex
