#include "host/xmpp_certificates.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <strophe.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tessaro::host {

namespace {

constexpr std::size_t kFingerprintDigits = 64;
// A certificate file is a few kilobytes; anything much larger is not one.
constexpr std::size_t kMaxCertificateFile = 1 << 20;

// The connection check of this network thread: the certfail handler gets no
// pointer of ours, and each transport runs one connection on a thread of its own.
thread_local ConnectionCheck* t_check = nullptr;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// A name from a certificate, shown to a person: bytes outside printable ASCII
// become '?', so that a hostile certificate cannot draw into the window.
std::string Printable(const unsigned char* data, int length) {
  std::string out;
  for (int i = 0; i < length && out.size() < 256; ++i)
    out += data[i] >= 0x20 && data[i] < 0x7f ? static_cast<char>(data[i]) : '?';
  return out;
}

std::vector<std::string> NamesOf(X509* cert) {
  std::vector<std::string> names;
  auto* alt =
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; alt != nullptr && i < sk_GENERAL_NAME_num(alt); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(alt, i);
    if (name->type != GEN_DNS) continue;
    names.push_back(
        Printable(ASN1_STRING_get0_data(name->d.dNSName), ASN1_STRING_length(name->d.dNSName)));
  }
  GENERAL_NAMES_free(alt);
  if (!names.empty()) return names;
  const X509_NAME* subject = X509_get_subject_name(cert);
  const int at = subject != nullptr ? X509_NAME_get_index_by_NID(subject, NID_commonName, -1) : -1;
  if (at >= 0) {
    const ASN1_STRING* common = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at));
    names.push_back(Printable(ASN1_STRING_get0_data(common), ASN1_STRING_length(common)));
  }
  return names;
}

int NoPassword(char*, int, int, void*) {
  return 0;
}

}  // namespace

std::string NamesForPeople(const std::vector<std::string>& names, std::size_t most) {
  constexpr std::size_t kLongest = 48;
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < most; ++i) {
    out += i == 0 ? "" : ", ";
    out += names[i].size() > kLongest ? names[i].substr(0, kLongest - 3) + "..." : names[i];
  }
  if (names.size() > most) out += " and " + std::to_string(names.size() - most) + " more";
  return out;
}

// ---- Words ----

bool IsCertificateRefusal(Refusal refusal) {
  return refusal >= Refusal::kSelfSigned;
}

bool WaitsForThePlayer(Refusal refusal) {
  return refusal == Refusal::kNoEncryption || refusal == Refusal::kPassword ||
         IsCertificateRefusal(refusal);
}

Refusal CertificateRefusal(std::string_view openssl_error) {
  if ((Contains(openssl_error, "self-signed") || Contains(openssl_error, "self signed")) &&
      !Contains(openssl_error, "chain")) {
    return Refusal::kSelfSigned;
  }
  if (Contains(openssl_error, "expired") || Contains(openssl_error, "not yet valid"))
    return Refusal::kExpired;
  if (Contains(openssl_error, "hostname mismatch")) return Refusal::kOtherName;
  return Refusal::kUntrusted;
}

std::string DescribeProblem(const ConnectionProblem& problem, std::string_view domain) {
  const std::string server(domain);
  const std::string cause = problem.cause.empty() ? "" : " (" + problem.cause + ")";
  switch (problem.refusal) {
    case Refusal::kNone:
      return "the connection was lost" + cause;
    case Refusal::kUnreachable:
      return "the server " + server + " cannot be reached" + cause;
    case Refusal::kNoEncryption:
      return "the server " + server +
             " offers no encryption, so the password would travel readable: not connected";
    case Refusal::kPassword:
      return "the server " + server + " refused the password";
    case Refusal::kSelfSigned:
      return "the server's certificate is self-signed: nobody vouches that the server is " + server;
    case Refusal::kExpired:
      return Contains(problem.cause, "not yet valid") ? "the server's certificate is not valid yet"
                                                      : "the server's certificate has expired";
    case Refusal::kOtherName:
      if (problem.certificate.names.empty())
        return "the server's certificate is for another name than " + server;
      return "the server's certificate is for " + NamesForPeople(problem.certificate.names, 2) +
             ", not for " + server;
    case Refusal::kUntrusted:
      return "the server's certificate is not vouched for by an authority this computer knows" +
             cause;
    case Refusal::kChanged:
      return "Warning: the certificate of " + server +
             " changed since you trusted it; someone may be posing as the server: not "
             "connected";
  }
  return "the connection failed" + cause;
}

// ---- Fingerprints and certificate files ----

std::string FormatFingerprint(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (i > 0 && i % 2 == 0) out += ':';
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[i])));
  }
  return out;
}

std::string NormalizeFingerprint(std::string_view text) {
  const bool colons = text.size() == kFingerprintDigits + kFingerprintDigits / 2 - 1;
  if (!colons && text.size() != kFingerprintDigits) return {};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (colons && i % 3 == 2) {
      if (c != ':') return {};
    } else if (std::isxdigit(c) != 0) {
      out += static_cast<char>(std::tolower(c));
    } else {
      return {};
    }
  }
  return out;
}

std::optional<CertificateInfo> CertificateFromPem(std::string_view pem) {
  if (pem.size() > kMaxCertificateFile) return std::nullopt;
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (bio == nullptr) return std::nullopt;
  X509* cert = PEM_read_bio_X509(bio, nullptr, NoPassword, nullptr);
  BIO_free(bio);
  if (cert == nullptr) {
    ERR_clear_error();
    return std::nullopt;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  std::optional<CertificateInfo> info;
  if (X509_digest(cert, EVP_sha256(), digest, &length) == 1) {
    info.emplace();
    static constexpr char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
      info->fingerprint += kHex[digest[i] >> 4];
      info->fingerprint += kHex[digest[i] & 15];
    }
    info->names = NamesOf(cert);
  }
  X509_free(cert);
  ERR_clear_error();
  return info;
}

std::optional<CertificateInfo> ReadTrustedCertificate(std::string_view text, std::string* error) {
  if (text.size() > kMaxCertificateFile) {
    *error = "it is too large to be a certificate";
    return std::nullopt;
  }
  if (Contains(text, "-----BEGIN CERTIFICATE-----")) {
    std::optional<CertificateInfo> info = CertificateFromPem(text);
    if (!info) *error = "its certificate cannot be read";
    return info;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (const std::size_t equals = line.find('='); equals != std::string_view::npos)
      line.remove_prefix(equals + 1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())) != 0)
      line.remove_prefix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0)
      line.remove_suffix(1);
    std::string fingerprint = NormalizeFingerprint(line);
    if (!fingerprint.empty()) return CertificateInfo{std::move(fingerprint), {}};
  }
  *error = "it holds neither a PEM certificate nor a SHA-256 fingerprint";
  return std::nullopt;
}

// ---- The checks of one connection ----

struct ConnectionCheck::Callbacks {
  static void Log(void* data, xmpp_log_level_t level, const char* area, const char* message) {
    auto* self = static_cast<ConnectionCheck*>(data);
    const std::string_view text = message != nullptr ? message : "";
    ConnectionProblem& problem = self->problem_;
    Refusal found = Refusal::kNone;
    std::string cause;
    if (text.starts_with("TLS is not supported")) {
      found = Refusal::kNoEncryption;
    } else if (text.starts_with("Cannot authenticate") || Contains(text, " auth failed")) {
      found = Refusal::kPassword;
    } else if (text.starts_with("connection failed, error ")) {
      found = Refusal::kUnreachable;
      const int error = std::atoi(message + std::strlen("connection failed, error "));
      cause = std::strerror(error);
    } else if (level >= XMPP_LEVEL_ERROR && !Contains(text, "certfail handler")) {
      std::fprintf(stderr, "tessaro-host: xmpp: %s: %s\n", area != nullptr ? area : "",
                   message != nullptr ? message : "");
    }
    // The first reason found stands: a certificate refused ends in more errors.
    if (found != Refusal::kNone && problem.refusal == Refusal::kNone) {
      problem.refusal = found;
      problem.cause = std::move(cause);
    }
  }

  static int CertificateFailed(const xmpp_tlscert_t* cert, const char* const openssl_error) {
    ConnectionCheck* self = t_check;
    if (self == nullptr) return 0;
    std::optional<CertificateInfo> info;
    if (const char* pem = xmpp_tlscert_get_pem(cert)) info = CertificateFromPem(pem);
    if (!info) {
      const char* fingerprint = xmpp_tlscert_get_string(cert, XMPP_CERT_FINGERPRINT_SHA256);
      info = CertificateInfo{NormalizeFingerprint(fingerprint != nullptr ? fingerprint : ""), {}};
    }
    const std::string trusted = self->Trusted();
    if (!trusted.empty() && info->fingerprint == trusted) return 1;
    if (self->problem_.refusal == Refusal::kNone) {
      const std::string words = openssl_error != nullptr ? openssl_error : "";
      self->problem_ = {trusted.empty() ? CertificateRefusal(words) : Refusal::kChanged, words,
                        std::move(*info)};
    }
    return 0;
  }
};

ConnectionCheck::ConnectionCheck(std::string trusted_fingerprint, std::string ca_file)
    : ca_file_(std::move(ca_file)),
      logger_(std::make_unique<xmpp_log_t>(xmpp_log_t{Callbacks::Log, this})),
      trusted_(NormalizeFingerprint(trusted_fingerprint)) {}

ConnectionCheck::~ConnectionCheck() {
  if (t_check == this) t_check = nullptr;
}

void ConnectionCheck::Attach(xmpp_conn_t* conn) {
  t_check = this;
  xmpp_conn_set_certfail_handler(conn, Callbacks::CertificateFailed);
  if (!ca_file_.empty()) xmpp_conn_set_cafile(conn, ca_file_.c_str());
}

ConnectionProblem ConnectionCheck::Problem(int error) const {
  if (problem_.refusal != Refusal::kNone) return problem_;
  ConnectionProblem problem;
  if (error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH ||
      error == ETIMEDOUT) {
    problem.refusal = Refusal::kUnreachable;
  }
  if (error != 0) problem.cause = std::strerror(error);
  return problem;
}

void ConnectionCheck::Trust(std::string fingerprint) {
  std::lock_guard<std::mutex> lock(mutex_);
  trusted_ = NormalizeFingerprint(fingerprint);
}

std::string ConnectionCheck::Trusted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return trusted_;
}

}  // namespace tessaro::host
