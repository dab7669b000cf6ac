#include "platform/http/ConnectionErrorHook.h"

#include "platform/threads/Mutex.h"

namespace platform::http {
namespace {

struct Hooks {
    platform::Mutex lock;
    ConnectionErrorHandler handler ORVANE_GUARDED_BY(lock);
    CertificateHandler certificateHandler ORVANE_GUARDED_BY(lock);
    std::thread::id userThread ORVANE_GUARDED_BY(lock);
};

Hooks& State() {
    static Hooks hooks;
    return hooks;
}

// True when this thread may wait for a person.
bool MayAsk(Hooks& hooks) ORVANE_REQUIRES(hooks.lock) {
    return hooks.userThread == std::thread::id() || hooks.userThread == std::this_thread::get_id();
}

}  // namespace

ConnectionErrorHandler SetConnectionErrorHandler(ConnectionErrorHandler handler) {
    Hooks& hooks = State();
    platform::MutexLock hold(hooks.lock);
    ConnectionErrorHandler previous = std::move(hooks.handler);
    hooks.handler = std::move(handler);
    return previous;
}

DWORD ReportConnectionError(DWORD error, const std::string& url) {
    Hooks& hooks = State();
    ConnectionErrorHandler handler;
    {
        platform::MutexLock hold(hooks.lock);
        if (MayAsk(hooks)) handler = hooks.handler;
    }
    // The handler may block on the user; it runs outside the lock.
    return handler ? handler(error, url) : error;
}

CertificateHandler SetCertificateHandler(CertificateHandler handler) {
    Hooks& hooks = State();
    platform::MutexLock hold(hooks.lock);
    CertificateHandler previous = std::move(hooks.certificateHandler);
    hooks.certificateHandler = std::move(handler);
    return previous;
}

CertificateDecision AskAboutCertificate(const CertificateProblem& problem) {
    Hooks& hooks = State();
    CertificateHandler handler;
    {
        platform::MutexLock hold(hooks.lock);
        if (MayAsk(hooks)) handler = hooks.certificateHandler;
    }
    return handler ? handler(problem) : CertificateDecision::Refuse;
}

void SetUserThread(std::thread::id id) {
    Hooks& hooks = State();
    platform::MutexLock hold(hooks.lock);
    hooks.userThread = id;
}

}  // namespace platform::http
