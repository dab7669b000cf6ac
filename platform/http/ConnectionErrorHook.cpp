#include "platform/http/ConnectionErrorHook.h"

#include <mutex>

namespace platform::http {
namespace {

std::mutex g_lock;
ConnectionErrorHandler g_handler;

}  // namespace

ConnectionErrorHandler SetConnectionErrorHandler(ConnectionErrorHandler handler) {
    std::lock_guard<std::mutex> guard(g_lock);
    ConnectionErrorHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

DWORD ReportConnectionError(DWORD error, const std::string& url) {
    ConnectionErrorHandler handler;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        handler = g_handler;
    }
    // The handler may block on the user; it runs outside the lock.
    return handler ? handler(error, url) : error;
}

}  // namespace platform::http
