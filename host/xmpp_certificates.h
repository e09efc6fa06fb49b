// Why a connection to the XMPP server failed, in words a player understands, and
// the server certificates a player chose to trust.
//
// libstrophe reports a refused attempt only as a disconnect, mostly with error 0:
// the reason is in what it logs (no TLS offered, login refused, connect failed)
// and in what its certificate check hands the certfail handler. A ConnectionCheck
// listens to both for one connection, on its network thread, and turns them into
// a ConnectionProblem. A certificate whose SHA-256 fingerprint the player trusted
// is accepted; another certificate that fails the check is refused, with a
// warning when a trusted one existed (it changed).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmpp_conn_t;
struct _xmpp_log_t;

namespace tessaro::host {

// A server's certificate as a player is shown it.
struct CertificateInfo {
  std::string fingerprint;         // SHA-256 of its DER form, 64 lower-case hex digits
  std::vector<std::string> names;  // the names it is for: its DNS names, else its common name
};

enum class Refusal : uint8_t {
  kNone,          // no reason known (the connection was lost, or ended by the server)
  kUnreachable,   // no connection to the server's port
  kNoEncryption,  // TLS is required and the server offers none
  kPassword,      // the server refused the login
  kSelfSigned,    // certificate checks: the certificate is self-signed,
  kExpired,       // has expired (or is not valid yet),
  kOtherName,     // is for another name,
  kUntrusted,     // is not vouched for by a known authority for another reason,
  kChanged,       // or differs from the one the player trusted
};

struct ConnectionProblem {
  Refusal refusal = Refusal::kNone;
  std::string cause;            // the library's or the system's words, when any
  CertificateInfo certificate;  // certificate refusals: the certificate refused
};

// Whether the refusal comes from the server's certificate.
bool IsCertificateRefusal(Refusal refusal);
// Whether trying again soon would only be refused again: the certificate, the
// password or the lack of encryption stay as they are until someone changes them.
bool WaitsForThePlayer(Refusal refusal);
// The refusal for OpenSSL's words for a failed certificate check.
Refusal CertificateRefusal(std::string_view openssl_error);
// The problem in plain words, for the host window and the connection's history;
// `domain` is the server's name the certificate should be for.
std::string DescribeProblem(const ConnectionProblem& problem, std::string_view domain);

// The first `most` names, each cut to 48 characters, and how many more there are:
// a certificate may name hundreds, and a window has room for a few.
std::string NamesForPeople(const std::vector<std::string>& names, std::size_t most);
// "AB:CD:…" as people compare fingerprints.
std::string FormatFingerprint(std::string_view hex);
// 64 hex digits, with or without colons between pairs, as lower-case hex; empty
// when the text is not that.
std::string NormalizeFingerprint(std::string_view text);
// The certificate of a PEM text; nullopt when it holds none.
std::optional<CertificateInfo> CertificateFromPem(std::string_view pem);
// What `--trust-certificate FILE` reads: a PEM certificate (its first), or a
// SHA-256 fingerprint alone on a line (as `openssl x509 -noout -fingerprint
// -sha256` prints it, "sha256 Fingerprint=AB:CD:…"). nullopt with *error saying
// what is wrong.
std::optional<CertificateInfo> ReadTrustedCertificate(std::string_view text, std::string* error);

// The checks of one connection. Attach, BeginAttempt and Problem run on the
// connection's network thread (one connection a thread); Trust from any thread.
class ConnectionCheck {
 public:
  ConnectionCheck(std::string trusted_fingerprint, std::string ca_file);
  ~ConnectionCheck();
  ConnectionCheck(const ConnectionCheck&) = delete;
  ConnectionCheck& operator=(const ConnectionCheck&) = delete;

  // The logger to make the connection's context with: it keeps what tells a
  // refusal, and writes the library's errors to stderr as its default logger did.
  const _xmpp_log_t* Logger() const { return logger_.get(); }
  // Installs the certificate check (and the extra CA file) on the connection.
  void Attach(_xmpp_conn_t* conn);
  void BeginAttempt() { problem_ = {}; }
  // What the attempt that just ended found, given the disconnect's error.
  ConnectionProblem Problem(int error) const;
  // From now on a certificate with this fingerprint is accepted.
  void Trust(std::string fingerprint);

 private:
  struct Callbacks;
  friend struct Callbacks;
  std::string Trusted() const;

  const std::string ca_file_;
  std::unique_ptr<_xmpp_log_t> logger_;
  mutable std::mutex mutex_;  // guards trusted_
  std::string trusted_;
  ConnectionProblem problem_;  // network thread only: what this attempt found
};

}  // namespace tessaro::host
