#pragma once
// Conversions between the program's strings (CStringW UTF-16, CStringA UTF-8) and QString, and
// one-pass filling of "%s" / "%d" templates, so that a "%1", "%s" or "<b>" inside a filled-in
// value is shown as it stands.
//
// Plain functions, callable from any thread.
#include <QString>
#include <QStringList>

#include "platform/string/CString.h"

namespace platform::ui {

inline QString ToQString(const CStringW& text) {
    return QString::fromUtf16(text.GetString(), text.GetLength());
}
inline QString ToQString(const CStringA& text) { return QString::fromUtf8(text.GetString(), text.GetLength()); }
inline CStringW ToCStringW(const QString& text) {
    return CStringW(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<int>(text.size()));
}
// UTF-8, up to the first NUL (as a C string reads it).
inline CStringA ToCStringA(const QString& text) { return CStringA(text.toUtf8().constData()); }

// Replaces each "%s" or "%d" of the template, left to right, with the next value (an empty text
// once the values run out); "%%" gives "%". Values are never scanned again.
QString FillTemplate(const QString& templ, const QStringList& values);

}  // namespace platform::ui
