#pragma once
// The desktop framework's own per-user values (the chosen look, the main window's geometry),
// kept in the settings hive under the framework's key for this program, apart from the
// program's own settings.
//
// Plain functions, callable from any thread (the hive serialises its writers).
#include <QByteArray>
#include <QString>

namespace platform::ui {

// "Software\Local AppWizard-Generated Applications\<program>\Workspace".
QString ProfileKeyPath(const QString& program);

// An integer value; `fallback` when it is missing or not a 4-byte value.
int ReadProfileInt(const QString& program, const QString& name, int fallback);
// 0 or the hive's error number.
unsigned WriteProfileInt(const QString& program, const QString& name, int value);
// A binary value; empty when missing.
QByteArray ReadProfileBinary(const QString& program, const QString& name);
unsigned WriteProfileBinary(const QString& program, const QString& name, const QByteArray& value);

}  // namespace platform::ui
