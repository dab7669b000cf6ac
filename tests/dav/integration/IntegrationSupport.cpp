#include "tests/dav/integration/IntegrationSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "foundation/debug/RDebugLog.h"
#include "foundation/settings/SettingsKeys.h"
#include "platform/settings/SettingsHive.h"
#include "tests/dav/integration/ServerProcess.h"

namespace orvane::test {
namespace {

void SetDebugLog(DWORD value) {
    using namespace platform;
    HKEY key = nullptr;
    if (RegCreateKey(HKEY_CURRENT_USER, kOrvaneSettingsKey, &key) != 0) return;
    RegSetValue(key, kDebugLogValueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

}  // namespace

std::string EventText(const std::string& uid, const std::string& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//BrenmoorTech//Orvane tests//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240102T100000Z\r\nDTEND:20240102T110000Z\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

RResult MakeCalendar(int port, const char* user, const char* password, const std::string& path, const std::string& displayName) {
    auto* c = new RWebDAVConnection();
    c->Initialize("127.0.0.1", port, false, user, password);
    c->SetPath(path.c_str());
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
        "<D:set><D:prop><D:resourcetype><D:collection/><C:calendar/></D:resourcetype><D:displayname>" +
        displayName + "</D:displayname></D:prop></D:set></D:mkcol>";
    const RResult result = c->SendRequest("Content-Type: application/xml", body.c_str(), "MKCOL", nullptr);
    c->Release();
    return result;
}

std::string WriteRadicaleConfig(const std::string& folder) {
    std::ifstream in(FixtureFolder() + "/radicale.config");
    std::string config((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    config = std::regex_replace(config, std::regex("@STORE@"), folder + "/collections");
    config = std::regex_replace(config, std::regex("@USERS@"), folder + "/users");
    const std::string path = folder + "/config";
    std::ofstream(path) << config;
    return path;
}

std::string SeedRadicaleBenchStore(const std::string& folder, int items) {
    const std::filesystem::path calendar = std::filesystem::path(folder) / "collections" / "collection-root" / "alice" / "bench";
    std::filesystem::create_directories(calendar);
    std::ofstream(calendar / ".Radicale.props") << "{\"tag\": \"VCALENDAR\", \"D:displayname\": \"Bench\"}";
    for (int i = 0; i < items; ++i) {
        const std::string uid = "bench-" + std::to_string(i);
        std::ofstream(calendar / (uid + ".ics")) << EventText(uid, "Item " + std::to_string(i));
    }
    std::ofstream(folder + "/users") << "alice:secret\n";
    return WriteRadicaleConfig(folder);
}

RequestLog::RequestLog(const std::string& path) : path_(path) {
    std::ofstream(path_, std::ios::trunc).close();
    g_debugLog.Open(path_.c_str());
    SetDebugLog(1);
}

RequestLog::~RequestLog() {
    SetDebugLog(0);
    g_debugLog.Reset();
}

int RequestLog::Count(const std::string& verb) const {
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    int n = 0;
    const std::string prefix = verb + " 127.0.0.1:";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) ++n;
    }
    return n;
}

}  // namespace orvane::test
