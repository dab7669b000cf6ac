#include "platform/xml/XmlMessages.h"

#include <libxml/globals.h>
#include <libxml/xmlerror.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace platform::xml {
namespace {

std::atomic<XmlMessageSink> g_sink{nullptr};

// Bounds one thread's unfinished line: libxml2 hands a message over in pieces.
constexpr size_t kMaxLine = 4096;

thread_local std::string t_line;

void Emit(std::string& line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) {
        if (XmlMessageSink sink = g_sink.load()) sink(line.c_str());
    }
    line.clear();
}

void Append(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            Emit(t_line);
        } else if (t_line.size() < kMaxLine) {
            t_line += *p;
        }
    }
}

void OnGeneric(void*, const char* format, ...) {
    char piece[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    Append(piece);
}

void OnStructured(void*, xmlErrorPtr error) {
    if (error == nullptr || error->message == nullptr) return;
    std::string line = error->message;
    Emit(line);
}

}  // namespace

XmlMessageSink SetXmlMessageSink(XmlMessageSink sink) { return g_sink.exchange(sink); }

void RouteXmlMessagesOnThisThread() {
    static std::once_flag defaults;
    std::call_once(defaults, [] {
        xmlThrDefSetGenericErrorFunc(nullptr, &OnGeneric);
        xmlThrDefSetStructuredErrorFunc(nullptr, &OnStructured);
    });
    thread_local bool routed = false;
    if (routed) return;
    routed = true;
    xmlSetGenericErrorFunc(nullptr, &OnGeneric);
    xmlSetStructuredErrorFunc(nullptr, &OnStructured);
}

}  // namespace platform::xml
