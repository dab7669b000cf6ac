#pragma once
// Certificates made at test time with libcrypto: a test authority, leaves it signs, and
// self-signed ones, written as PEM files for the tests' own TLS peers.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <string>

namespace orvane::test {

struct TestCertificate {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    TestCertificate() = default;
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;
    ~TestCertificate() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }

    // Writes certificate and key as PEM files "<base>.crt" and "<base>.key".
    void Write(const std::string& base) const {
        FILE* c = std::fopen((base + ".crt").c_str(), "w");
        PEM_write_X509(c, cert);
        std::fclose(c);
        FILE* k = std::fopen((base + ".key").c_str(), "w");
        PEM_write_PrivateKey(k, key, nullptr, nullptr, 0, nullptr, nullptr);
        std::fclose(k);
    }
};

// `subjectAltName` as in "IP:127.0.0.1" or "DNS:other.example"; validity in seconds from now.
// Signed by `issuer`, or by itself when it is null.
inline void MakeCertificate(TestCertificate& out, const std::string& commonName, const std::string& subjectAltName,
                            const TestCertificate* issuer, long notBefore, long notAfter, bool authority = false) {
    out.key = EVP_EC_gen("P-256");
    out.cert = X509_new();
    X509_set_version(out.cert, 2);
    static long serial = 1000;
    ASN1_INTEGER_set(X509_get_serialNumber(out.cert), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(out.cert), notBefore);
    X509_gmtime_adj(X509_getm_notAfter(out.cert), notAfter);
    X509_set_pubkey(out.cert, out.key);
    X509_NAME* name = X509_get_subject_name(out.cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Orvane Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(out.cert, issuer != nullptr ? X509_get_subject_name(issuer->cert) : name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer != nullptr ? issuer->cert : out.cert, out.cert, nullptr, nullptr, 0);
    auto add = [&](int nid, const char* value) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        X509_add_ext(out.cert, extension, -1);
        X509_EXTENSION_free(extension);
    };
    if (authority) {
        add(NID_basic_constraints, "critical,CA:TRUE");
        add(NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        add(NID_basic_constraints, "CA:FALSE");
        if (!subjectAltName.empty()) add(NID_subject_alt_name, subjectAltName.c_str());
    }
    X509_sign(out.cert, issuer != nullptr ? issuer->key : out.key, EVP_sha256());
}

}  // namespace orvane::test
