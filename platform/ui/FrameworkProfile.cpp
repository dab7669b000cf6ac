#include "platform/ui/FrameworkProfile.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/settings/SettingsHive.h"

namespace platform::ui {
namespace {

constexpr DWORD kDword = 4;   // REG_DWORD
constexpr DWORD kBinary = 3;  // REG_BINARY

std::u16string Wide(const QString& text) { return text.toStdU16String(); }

}  // namespace

QString ProfileKeyPath(const QString& program) {
    return "Software\\Local AppWizard-Generated Applications\\" + program + "\\Workspace";
}

int ReadProfileInt(const QString& program, const QString& name, int fallback) {
    HKEY key = nullptr;
    if (RegOpenKey(HKEY_CURRENT_USER, Wide(ProfileKeyPath(program)).c_str(), &key) != 0) return fallback;
    std::int32_t value = 0;
    DWORD type = 0, bytes = sizeof value;
    const DWORD result = RegQueryValue(key, Wide(name).c_str(), &type, reinterpret_cast<BYTE*>(&value), &bytes);
    RegCloseKey(key);
    return result == 0 && bytes == sizeof value ? value : fallback;
}

unsigned WriteProfileInt(const QString& program, const QString& name, int value) {
    HKEY key = nullptr;
    const DWORD opened = RegCreateKey(HKEY_CURRENT_USER, Wide(ProfileKeyPath(program)).c_str(), &key);
    if (opened != 0) return opened;
    const std::int32_t stored = value;
    const DWORD result =
        RegSetValue(key, Wide(name).c_str(), kDword, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    RegCloseKey(key);
    return result;
}

QByteArray ReadProfileBinary(const QString& program, const QString& name) {
    HKEY key = nullptr;
    if (RegOpenKey(HKEY_CURRENT_USER, Wide(ProfileKeyPath(program)).c_str(), &key) != 0) return {};
    DWORD type = 0, bytes = 0;
    QByteArray value;
    if (RegQueryValue(key, Wide(name).c_str(), &type, nullptr, &bytes) == 0 && bytes > 0 && bytes <= kMaxValueBytes) {
        value.resize(static_cast<qsizetype>(bytes));
        if (RegQueryValue(key, Wide(name).c_str(), &type, reinterpret_cast<BYTE*>(value.data()), &bytes) != 0) {
            value.clear();
        } else {
            value.resize(static_cast<qsizetype>(bytes));
        }
    }
    RegCloseKey(key);
    return value;
}

unsigned WriteProfileBinary(const QString& program, const QString& name, const QByteArray& value) {
    HKEY key = nullptr;
    const DWORD opened = RegCreateKey(HKEY_CURRENT_USER, Wide(ProfileKeyPath(program)).c_str(), &key);
    if (opened != 0) return opened;
    const DWORD result = RegSetValue(key, Wide(name).c_str(), kBinary, reinterpret_cast<const BYTE*>(value.constData()),
                                     static_cast<DWORD>(value.size()));
    RegCloseKey(key);
    return result;
}

}  // namespace platform::ui
