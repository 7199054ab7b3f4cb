#include "reporter/delivery/sending/sample/TrustRoot.h"

// Without Schannel there is no store to trust anything in.
bool TrustRootCertificate(const std::string&) { return false; }
