#include "platform/http/Certificates.h"

#include <curl/curl.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <utility>

#include "platform/http/InternetErrors.h"
#include "platform/threads/Mutex.h"

namespace platform::http {
namespace {

constexpr long kProbeTimeoutSeconds = 30;

struct Accepted {
    platform::Mutex lock;
    std::map<std::pair<std::string, int>, std::string> pins ORVANE_GUARDED_BY(lock);
    std::string caFile ORVANE_GUARDED_BY(lock);
};

Accepted& State() {
    static Accepted state;
    return state;
}

std::string NameText(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr) return {};
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    std::string text(data != nullptr && length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string());
    BIO_free(bio);
    return text;
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm tm{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &tm) != 1) return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_sec);
    return text;
}

std::string Fingerprint(X509* cert) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(cert, EVP_sha256(), digest, &length) != 1) return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

std::string PublicKeyPin(X509* cert) {
    EVP_PKEY* key = X509_get0_pubkey(cert);
    if (key == nullptr) return {};
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    if (length <= 0) return {};
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(der, static_cast<size_t>(length), digest);
    OPENSSL_free(der);
    unsigned char base64[4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1];
    EVP_EncodeBlock(base64, digest, SHA256_DIGEST_LENGTH);
    return "sha256//" + std::string(reinterpret_cast<const char*>(base64));
}

bool NameMatches(X509* cert, const std::string& host) {
    if (X509_check_ip_asc(cert, host.c_str(), 0) == 1) return true;
    return X509_check_host(cert, host.c_str(), host.size(), 0, nullptr) == 1;
}

bool OutOfDate(X509* cert) {
    return X509_cmp_current_time(X509_get0_notBefore(cert)) >= 0 || X509_cmp_current_time(X509_get0_notAfter(cert)) <= 0;
}

DWORD FromVerifyResult(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
        case X509_V_ERR_INVALID_CA:
            return ERROR_INTERNET_INVALID_CA;
        case X509_V_ERR_CERT_REVOKED:
            return ERROR_INTERNET_SEC_CERT_REVOKED;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        default:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    }
}

}  // namespace

void AcceptCertificate(const std::string& host, int port, const std::string& publicKeyPin) {
    Accepted& state = State();
    platform::MutexLock hold(state.lock);
    state.pins[{host, port}] = publicKeyPin;
}

std::string AcceptedCertificatePin(const std::string& host, int port) {
    Accepted& state = State();
    platform::MutexLock hold(state.lock);
    const auto found = state.pins.find({host, port});
    return found != state.pins.end() ? found->second : std::string();
}

void ForgetAcceptedCertificates() {
    Accepted& state = State();
    platform::MutexLock hold(state.lock);
    state.pins.clear();
}

void SetTrustedCaFile(const std::string& path) {
    Accepted& state = State();
    platform::MutexLock hold(state.lock);
    state.caFile = path;
}

std::string TrustedCaFile() {
    Accepted& state = State();
    platform::MutexLock hold(state.lock);
    return state.caFile;
}

bool DescribeCertificate(const std::string& pem, long verifyResult, CertificateProblem& problem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (bio == nullptr) return false;
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (cert == nullptr) return false;
    problem.subject = NameText(X509_get_subject_name(cert));
    problem.issuer = NameText(X509_get_issuer_name(cert));
    problem.validFrom = TimeText(X509_get0_notBefore(cert));
    problem.validUntil = TimeText(X509_get0_notAfter(cert));
    problem.sha256Fingerprint = Fingerprint(cert);
    problem.publicKeyPin = PublicKeyPin(cert);
    const DWORD byResult = verifyResult > 0 ? FromVerifyResult(verifyResult) : 0;
    if (byResult != 0 && byResult != ERROR_INTERNET_SECURITY_CHANNEL_ERROR) {
        problem.error = byResult;
    } else if (!NameMatches(cert, problem.host)) {
        // The name is checked after a chain that verified, and OpenSSL reports a mismatch
        // only as an unspecified failure: the certificate's own names tell.
        problem.error = ERROR_INTERNET_SEC_CERT_CN_INVALID;
    } else if (verifyResult < 0 && OutOfDate(cert)) {
        problem.error = ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    } else if (verifyResult < 0) {
        // Not the accepted certificate, and not verified: nothing vouches for it.
        problem.error = ERROR_INTERNET_INVALID_CA;
    } else {
        problem.error = ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    }
    X509_free(cert);
    return true;
}

std::string FetchPresentedCertificate(const std::string& host, int port) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return {};
    std::string shownHost = host;
    if (shownHost.find(':') != std::string::npos && shownHost.front() != '[') shownHost = "[" + shownHost + "]";
    const std::string url = "https://" + shownHost + ":" + std::to_string(port) + "/";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kProbeTimeoutSeconds);
    // Only to show the certificate: nothing is sent over this connection.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_CERTINFO, 1L);
    std::string pem;
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_certinfo* info = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) == CURLE_OK && info != nullptr && info->num_of_certs > 0) {
            for (curl_slist* item = info->certinfo[0]; item != nullptr; item = item->next) {
                const std::string field = item->data != nullptr ? item->data : "";
                if (field.rfind("Cert:", 0) == 0) {
                    pem = field.substr(5);
                    break;
                }
            }
        }
    }
    curl_easy_cleanup(curl);
    return pem;
}

}  // namespace platform::http
