#pragma once
// Server certificates that failed verification: what a person needs to decide about one, and
// the certificates a person accepted for this run. An accepted certificate is pinned by its
// public key for its host and port: later connections there accept exactly that key (without
// the usual chain and name checks, which it failed) and nothing else.
// Threads: safe on any thread (the accepted pins are guarded by one process-wide lock).
#include <string>

#include "platform/core/WinTypes.h"

namespace platform::http {

struct CertificateProblem {
    std::string host;
    int port = 0;
    // What is wrong, as the Internet error number shown and traced: 12038 the name does not
    // match the host, 12037 expired or not yet valid, 12045 untrusted issuer, 12170 revoked,
    // 12157 anything else.
    DWORD error = 0;
    std::string subject;            // distinguished names, RFC 2253 form
    std::string issuer;
    std::string validFrom;          // "YYYY-MM-DD HH:MM:SS UTC"
    std::string validUntil;
    std::string sha256Fingerprint;  // of the whole certificate: upper-case hex pairs joined by ':'
    std::string publicKeyPin;       // "sha256//" + base64 of the SHA-256 of its public key
};

// Accepts, for the rest of this run, the certificate whose public key `publicKeyPin` names
// (CertificateProblem::publicKeyPin) for connections to host:port. Replaces an earlier one.
void AcceptCertificate(const std::string& host, int port, const std::string& publicKeyPin);
// The pin accepted for host:port, or empty.
std::string AcceptedCertificatePin(const std::string& host, int port);
// Forgets every accepted certificate.
void ForgetAcceptedCertificates();

// The certificate authorities trusted by clients opened from now on, as a PEM file, in place
// of the system's store; empty restores the system's store.
void SetTrustedCaFile(const std::string& path);
std::string TrustedCaFile();

// Internal to the HTTP layer: fills the certificate fields of `problem` from a PEM
// certificate and classifies what is wrong with it, given the verification result libcurl
// reported (an OpenSSL X509_V_* number; -1 when verification was not run, as under a pin).
// False when the text holds no certificate.
bool DescribeCertificate(const std::string& pem, long verifyResult, CertificateProblem& problem);

// Internal to the HTTP layer: a second TLS handshake with host:port, with verification off,
// used only to read the certificate the server presents. Empty when there is none.
std::string FetchPresentedCertificate(const std::string& host, int port);

}  // namespace platform::http
