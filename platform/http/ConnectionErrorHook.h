#pragma once
// Threads: safe on any thread; handlers run on the thread whose request failed, outside the lock.
// What the program does when a request could not be sent: the user interface may install a
// handler (its dialog lets the user fix certificate or sign-in problems) that answers with
// "retry" (0 or ERROR_INTERNET_FORCE_RETRY) or a final result. With no handler installed the
// failure is final: the error itself is the answer.
// Threads: any thread; the handler is swapped under a lock and runs on the failing request's
// thread.
#include <functional>
#include <string>
#include <thread>

#include "platform/core/WinTypes.h"
#include "platform/http/Certificates.h"

namespace platform::http {

// Called with the failed request's error number and URL; returns 0/12032 to retry, else the
// result the request ends with.
using ConnectionErrorHandler = std::function<DWORD(DWORD error, const std::string& url)>;

// Installs the handler (an empty one removes it); returns the previous one.
ConnectionErrorHandler SetConnectionErrorHandler(ConnectionErrorHandler handler);

// Asks the installed handler about a failed send. When a user thread is set (below) and this
// is another thread, nobody is asked and the failure is final.
DWORD ReportConnectionError(DWORD error, const std::string& url);

// What a person decided about a certificate that failed verification.
enum class CertificateDecision {
    Refuse,            // the request fails with the problem's number
    AcceptForThisRun,  // the certificate's key is pinned for its host and port (AcceptCertificate) and the request sent again
};
// Shown a certificate problem (host, problem, subject, issuer, validity, fingerprint), decides.
using CertificateHandler = std::function<CertificateDecision(const CertificateProblem& problem)>;

// Installs the certificate handler (an empty one removes it); returns the previous one.
CertificateHandler SetCertificateHandler(CertificateHandler handler);

// Asks the certificate handler. A thread that may not wait for a person (see SetUserThread),
// or no handler, gives Refuse at once: the connection then keeps the problem as a question for
// its owner to put to the person later (RWebDAVConnection::GetCertificateProblem).
CertificateDecision AskAboutCertificate(const CertificateProblem& problem);

// The one thread on which handlers may ask a person (the user-interface thread). Until it is
// set, handlers are asked on any thread. A default id clears it.
void SetUserThread(std::thread::id id);

}  // namespace platform::http
