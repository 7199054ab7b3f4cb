#include "reporter/delivery/http/client/WinHttpClient.h"

namespace ruvex {

// Off Windows there is no such library; the socket client serves instead.
std::unique_ptr<IHttpClient> CreateWinHttpClient(THttpTarget, TWinHttpOptions) { return nullptr; }

}  // namespace ruvex
