// What `--trust-certificate FILE` and `--ca-file FILE` read: a PEM certificate
// or a SHA-256 fingerprint line. Whatever the file holds, the answer is a
// fingerprint of 64 lower-case hex digits with printable names, or a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/xmpp_certificates.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckCertificate(const tessaro::host::CertificateInfo& info) {
  Check(info.fingerprint.size() == 64);
  Check(info.fingerprint.find_first_not_of("0123456789abcdef") == std::string::npos);
  Check(tessaro::host::NormalizeFingerprint(info.fingerprint) == info.fingerprint);
  Check(tessaro::host::NormalizeFingerprint(tessaro::host::FormatFingerprint(info.fingerprint)) ==
        info.fingerprint);
  // What the window shows of the names stays short, however many there are.
  Check(tessaro::host::NamesForPeople(info.names, 2).size() <= 2 * 48 + 2 + 32);
  for (const std::string& name : info.names) {
    for (char c : name)
      Check(c >= 0x20 && c < 0x7f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro::host;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (const auto trusted = ReadTrustedCertificate(text, &error)) {
    CheckCertificate(*trusted);
  } else {
    Check(!error.empty());
  }
  if (const auto pem = CertificateFromPem(text)) CheckCertificate(*pem);
  const std::string fingerprint = NormalizeFingerprint(text);
  Check(fingerprint.empty() || fingerprint.size() == 64);
  return 0;
}
