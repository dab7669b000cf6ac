#pragma once
// DNS service-record (SRV) lookup. Results use the platform's DNS status numbers.
// Threads: any thread; the installed resolver is swapped under a lock and runs on the caller's
// thread.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/WinTypes.h"

namespace platform::dns {

constexpr DWORD DNS_ERROR_RCODE_SERVER_FAILURE = 9002;
constexpr DWORD DNS_ERROR_RCODE_NAME_ERROR = 9003;   // the name does not exist
constexpr DWORD DNS_INFO_NO_RECORDS = 9501;          // the name exists but has no such record
constexpr DWORD DNS_ERROR_BAD_PACKET = 9502;

struct SrvRecord {
    std::string host;
    std::uint16_t port = 0;
};

// Answers one SRV query for a full name ("_caldavs._tcp.example.com"): 0 with the record, or a
// DNS status number.
using SrvResolver = std::function<DWORD(const std::string& name, SrvRecord& out)>;

// Looks up the SRV records of `name` and gives the first one of the answer (priorities and
// weights are not looked at).
DWORD LookupSrv(const std::string& name, SrvRecord& out);

// Replaces the resolver that LookupSrv uses (tests answer from a table); an empty one restores
// the system resolver. Returns the previous replacement.
SrvResolver SetSrvResolver(SrvResolver resolver);

// The system resolver itself (res_nquery).
DWORD QuerySystemSrv(const std::string& name, SrvRecord& out);

// Reads the first SRV record of a DNS answer message; 0 or DNS_ERROR_BAD_PACKET / DNS_INFO_NO_RECORDS.
DWORD ParseSrvAnswer(const unsigned char* message, int length, SrvRecord& out);

}  // namespace platform::dns
