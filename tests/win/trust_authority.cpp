// trust_authority add|remove <certificate.der>
// Puts a certificate authority into the machine's ROOT store (the registry
// store WinINet's chain engine reads when a process starts), or takes it out
// again: how an administrator trusts a company authority. Run in a process
// of its own before the program that relies on it.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fwprintf(stderr, L"usage: trust_authority add|remove <certificate.der>\n");
    return 2;
  }
  const std::wstring verb = argv[1];
  std::ifstream in(argv[2], std::ios::binary);
  const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (der.empty()) {
    fwprintf(stderr, L"trust_authority: cannot read %ls\n", argv[2]);
    return 1;
  }
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) {
    fwprintf(stderr, L"trust_authority: no ROOT store (%lu)\n", GetLastError());
    return 1;
  }
  PCCERT_CONTEXT added = nullptr;
  BOOL ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                             static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added);
  if (ok && verb == L"remove") {
    ok = CertDeleteCertificateFromStore(added);  // frees the context
    added = nullptr;
  } else if (verb != L"add") {
    ok = FALSE;
  }
  if (added) CertFreeCertificateContext(added);
  CertCloseStore(store, 0);
  if (!ok) fwprintf(stderr, L"trust_authority: %ls failed\n", verb.c_str());
  return ok ? 0 : 1;
}
