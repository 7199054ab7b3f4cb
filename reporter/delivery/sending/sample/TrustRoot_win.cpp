// The current user's root store takes the test's authority. Wine asks no
// question; Windows would show a confirmation, which is why only the test
// sample does this.
#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "reporter/delivery/sending/sample/TrustRoot.h"

bool TrustRootCertificate(const std::string& derFile) {
  std::ifstream in(derFile, std::ios::binary);
  const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (der.empty()) return false;
  HCERTSTORE root = ::CertOpenSystemStoreW(0, L"ROOT");
  if (!root) return false;
  const BOOL added = ::CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(),
                                                        static_cast<DWORD>(der.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  ::CertCloseStore(root, 0);
  return added != FALSE;
}
