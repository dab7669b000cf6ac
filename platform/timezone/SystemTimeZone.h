#pragma once
// The zone this machine runs in, by Olson name: $TZ when it names a zone file, else the target
// of /etc/localtime, else /etc/timezone, else UTC (as the C library does).
// Threads: any thread, as long as no thread changes $TZ meanwhile.
#include <string>

namespace platform {

std::string SystemZoneName();

}  // namespace platform
