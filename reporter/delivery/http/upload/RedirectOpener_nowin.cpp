#include "reporter/delivery/http/upload/RedirectOpener.h"

namespace ruvex {

// A reporter off Windows has no user's desktop to open anything on.
void OpenInDefaultBrowser(const std::string&) {}

}  // namespace ruvex
