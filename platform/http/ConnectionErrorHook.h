#pragma once
// What the program does when a request could not be sent: the user interface may install a
// handler (its dialog lets the user fix certificate or sign-in problems) that answers with
// "retry" (0 or ERROR_INTERNET_FORCE_RETRY) or a final result. With no handler installed the
// failure is final: the error itself is the answer.
#include <functional>
#include <string>

#include "platform/core/WinTypes.h"

namespace platform::http {

// Called with the failed request's error number and URL; returns 0/12032 to retry, else the
// result the request ends with.
using ConnectionErrorHandler = std::function<DWORD(DWORD error, const std::string& url)>;

// Installs the handler (an empty one removes it); returns the previous one.
ConnectionErrorHandler SetConnectionErrorHandler(ConnectionErrorHandler handler);

// Asks the installed handler about a failed send.
DWORD ReportConnectionError(DWORD error, const std::string& url);

}  // namespace platform::http
