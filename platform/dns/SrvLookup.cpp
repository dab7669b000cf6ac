#include "platform/dns/SrvLookup.h"

#include <arpa/nameser.h>
#include <netinet/in.h>
#include <netdb.h>
#include <resolv.h>

#include <cstring>

#include "platform/threads/Mutex.h"

namespace platform::dns {
namespace {

platform::Mutex g_lock;
SrvResolver g_resolver ORVANE_GUARDED_BY(g_lock);

}  // namespace

DWORD ParseSrvAnswer(const unsigned char* message, int length, SrvRecord& out) {
    ns_msg handle;
    if (message == nullptr || length <= 0 || ns_initparse(message, length, &handle) != 0) return DNS_ERROR_BAD_PACKET;
    const int count = ns_msg_count(handle, ns_s_an);
    for (int i = 0; i < count; ++i) {
        ns_rr record;
        if (ns_parserr(&handle, ns_s_an, i, &record) != 0) return DNS_ERROR_BAD_PACKET;
        if (ns_rr_type(record) != ns_t_srv) continue;
        // priority (2), weight (2), port (2), target (compressed name)
        if (ns_rr_rdlen(record) < 7) return DNS_ERROR_BAD_PACKET;
        const unsigned char* data = ns_rr_rdata(record);
        char target[NS_MAXDNAME];
        if (ns_name_uncompress(ns_msg_base(handle), ns_msg_end(handle), data + 6, target, sizeof target) < 0) {
            return DNS_ERROR_BAD_PACKET;
        }
        out.port = static_cast<std::uint16_t>((data[4] << 8) | data[5]);
        out.host = target;
        return 0;
    }
    return DNS_INFO_NO_RECORDS;
}

DWORD QuerySystemSrv(const std::string& name, SrvRecord& out) {
    struct __res_state state;
    std::memset(&state, 0, sizeof state);
    if (res_ninit(&state) != 0) return DNS_ERROR_RCODE_SERVER_FAILURE;
    unsigned char answer[NS_MAXMSG];
    const int length = res_nquery(&state, name.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
    DWORD result;
    if (length < 0) {
        switch (state.res_h_errno) {
            case HOST_NOT_FOUND: result = DNS_ERROR_RCODE_NAME_ERROR; break;
            case NO_DATA: result = DNS_INFO_NO_RECORDS; break;
            default: result = DNS_ERROR_RCODE_SERVER_FAILURE; break;
        }
    } else {
        result = ParseSrvAnswer(answer, length, out);
    }
    res_nclose(&state);
    return result;
}

DWORD LookupSrv(const std::string& name, SrvRecord& out) {
    SrvResolver resolver;
    {
        MutexLock guard(g_lock);
        resolver = g_resolver;
    }
    return resolver ? resolver(name, out) : QuerySystemSrv(name, out);
}

SrvResolver SetSrvResolver(SrvResolver resolver) {
    MutexLock guard(g_lock);
    SrvResolver previous = std::move(g_resolver);
    g_resolver = std::move(resolver);
    return previous;
}

}  // namespace platform::dns
