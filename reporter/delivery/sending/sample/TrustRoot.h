#pragma once
// For the sample only: makes a test's own certificate authority trusted.
#include <string>

// True when the DER certificate in the file is now a trusted root.
bool TrustRootCertificate(const std::string& derFile);
