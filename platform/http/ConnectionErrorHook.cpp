#include "platform/http/ConnectionErrorHook.h"

#include "platform/threads/Mutex.h"

namespace platform::http {
namespace {

platform::Mutex g_lock;
ConnectionErrorHandler g_handler ORVANE_GUARDED_BY(g_lock);

}  // namespace

ConnectionErrorHandler SetConnectionErrorHandler(ConnectionErrorHandler handler) {
    MutexLock guard(g_lock);
    ConnectionErrorHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

DWORD ReportConnectionError(DWORD error, const std::string& url) {
    ConnectionErrorHandler handler;
    {
        MutexLock guard(g_lock);
        handler = g_handler;
    }
    // The handler may block on the user; it runs outside the lock.
    return handler ? handler(error, url) : error;
}

}  // namespace platform::http
