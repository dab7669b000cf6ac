#pragma once
// Reader for the compiled zone files of the tz database (TZif, versions 1 to 4). Every count
// and index is checked against the data, so a damaged file is refused rather than read past.
// Threads: plain values and functions; any thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct TzifLocalType {
    std::int32_t utcOffset = 0;  // seconds east of UTC
    bool isDaylight = false;
};

struct TzifData {
    std::vector<std::int64_t> transitionTimes;  // UTC seconds, strictly ascending
    std::vector<std::uint8_t> transitionTypes;  // index into localTypes, one per transition
    std::vector<TzifLocalType> localTypes;      // at least one
    std::string footer;                         // POSIX TZ string for times after the table; may be empty

    // The local type in force at a UTC instant, as far as the table tells (the footer is not used).
    const TzifLocalType& TypeAt(std::int64_t utc) const;
};

// False when the bytes are not a complete, consistent zone file.
bool ParseTzif(const std::uint8_t* data, std::size_t size, TzifData& out);
// Reads and parses a file of at most a few hundred kilobytes.
bool ReadTzifFile(const std::string& path, TzifData& out);

}  // namespace platform
