// SRV answers: the packet reader on a hand-made DNS message, and the replaceable resolver.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dns/SrvLookup.h"

using namespace platform::dns;

namespace {

void Name(std::vector<unsigned char>& out, const std::vector<std::string>& labels) {
    for (const auto& l : labels) {
        out.push_back(static_cast<unsigned char>(l.size()));
        out.insert(out.end(), l.begin(), l.end());
    }
    out.push_back(0);
}

// A response with one question and the given SRV answers (priority, weight, port, target).
std::vector<unsigned char> SrvMessage(const std::vector<std::pair<int, std::vector<std::string>>>& answers) {
    std::vector<unsigned char> m = {0x12, 0x34, 0x81, 0x80, 0, 1, 0, static_cast<unsigned char>(answers.size()), 0, 0, 0, 0};
    Name(m, {"_caldavs", "_tcp", "example", "com"});
    m.insert(m.end(), {0, 33, 0, 1});
    for (const auto& a : answers) {
        m.insert(m.end(), {0xC0, 12, 0, 33, 0, 1, 0, 0, 0, 60});
        std::vector<unsigned char> rdata = {0, 10, 0, 5, static_cast<unsigned char>(a.first >> 8), static_cast<unsigned char>(a.first & 255)};
        Name(rdata, a.second);
        m.push_back(static_cast<unsigned char>(rdata.size() >> 8));
        m.push_back(static_cast<unsigned char>(rdata.size() & 255));
        m.insert(m.end(), rdata.begin(), rdata.end());
    }
    return m;
}

}  // namespace

TEST(SrvLookup, TakesTheFirstRecordOfTheAnswer) {
    const auto m = SrvMessage({{8443, {"cal", "example", "com"}}, {443, {"other", "example", "com"}}});
    SrvRecord record;
    ASSERT_EQ(ParseSrvAnswer(m.data(), static_cast<int>(m.size()), record), 0u);
    EXPECT_EQ(record.host, "cal.example.com");
    EXPECT_EQ(record.port, 8443);
}

TEST(SrvLookup, BadOrEmptyAnswersGiveDnsStatusNumbers) {
    SrvRecord record;
    const auto empty = SrvMessage({});
    EXPECT_EQ(ParseSrvAnswer(empty.data(), static_cast<int>(empty.size()), record), DNS_INFO_NO_RECORDS);
    auto cut = SrvMessage({{443, {"cal", "example", "com"}}});
    cut.resize(cut.size() - 6);
    EXPECT_EQ(ParseSrvAnswer(cut.data(), static_cast<int>(cut.size()), record), DNS_ERROR_BAD_PACKET);
    EXPECT_EQ(ParseSrvAnswer(nullptr, 0, record), DNS_ERROR_BAD_PACKET);
}

TEST(SrvLookup, AReplacedResolverAnswersEveryLookup) {
    SetSrvResolver([](const std::string& name, SrvRecord& out) -> DWORD {
        if (name != "_caldav._tcp.example.com") return DNS_ERROR_RCODE_NAME_ERROR;
        out = {"dav.example.com", 8008};
        return 0;
    });
    SrvRecord record;
    EXPECT_EQ(LookupSrv("_caldavs._tcp.example.com", record), DNS_ERROR_RCODE_NAME_ERROR);
    EXPECT_EQ(LookupSrv("_caldav._tcp.example.com", record), 0u);
    EXPECT_EQ(record.port, 8008);
    SetSrvResolver({});
}
