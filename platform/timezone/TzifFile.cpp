#include "platform/timezone/TzifFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace platform {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kMaxFileBytes = 512 * 1024;  // real files are a few kilobytes

struct Counts {
    std::uint32_t isUt, isStd, leap, time, type, chars;
};

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::int64_t Be64(const std::uint8_t* p) {
    return static_cast<std::int64_t>((std::uint64_t{Be32(p)} << 32) | Be32(p + 4));
}

bool ReadHeader(const std::uint8_t* data, std::size_t size, std::size_t at, char& version, Counts& c) {
    if (size < kHeaderBytes || at > size - kHeaderBytes) return false;
    const std::uint8_t* p = data + at;
    if (p[0] != 'T' || p[1] != 'Z' || p[2] != 'i' || p[3] != 'f') return false;
    version = static_cast<char>(p[4]);
    c = {Be32(p + 20), Be32(p + 24), Be32(p + 28), Be32(p + 32), Be32(p + 36), Be32(p + 40)};
    // Limits of the format: at most 256 types, and the indicator arrays are empty or one per type.
    if (c.type == 0 || c.type > 256 || c.chars == 0) return false;
    if ((c.isUt != 0 && c.isUt != c.type) || (c.isStd != 0 && c.isStd != c.type)) return false;
    return c.time <= kMaxFileBytes && c.leap <= kMaxFileBytes && c.chars <= kMaxFileBytes;
}

std::size_t BlockBytes(const Counts& c, std::size_t timeBytes) {
    return c.time * timeBytes + c.time + c.type * 6 + c.chars + c.leap * (timeBytes + 4) + c.isStd + c.isUt;
}

bool ReadBlock(const std::uint8_t* p, const Counts& c, std::size_t timeBytes, TzifData& out) {
    out.transitionTimes.resize(c.time);
    for (std::uint32_t i = 0; i < c.time; ++i) {
        const std::uint8_t* t = p + i * timeBytes;
        out.transitionTimes[i] = timeBytes == 8 ? Be64(t) : static_cast<std::int32_t>(Be32(t));
        if (i > 0 && out.transitionTimes[i] <= out.transitionTimes[i - 1]) return false;
    }
    p += c.time * timeBytes;
    out.transitionTypes.assign(p, p + c.time);
    for (std::uint8_t index : out.transitionTypes) {
        if (index >= c.type) return false;
    }
    p += c.time;
    out.localTypes.resize(c.type);
    for (std::uint32_t i = 0; i < c.type; ++i, p += 6) {
        const auto offset = static_cast<std::int32_t>(Be32(p));
        // The format forbids offsets of a day or more, and -2^31 outright.
        if (offset <= -89999 || offset >= 93600 || p[4] > 1 || p[5] >= c.chars) return false;
        out.localTypes[i] = {offset, p[4] == 1};
    }
    return true;
}

}  // namespace

const TzifLocalType& TzifData::TypeAt(std::int64_t utc) const {
    static const TzifLocalType kUtc{};
    if (localTypes.empty()) return kUtc;  // only a record that was never parsed
    const auto after = std::upper_bound(transitionTimes.begin(), transitionTimes.end(), utc);
    if (after == transitionTimes.begin()) return localTypes.front();
    return localTypes[transitionTypes[static_cast<std::size_t>(after - transitionTimes.begin() - 1)]];
}

namespace {

bool ParseInto(const std::uint8_t* data, std::size_t size, TzifData& out) {
    if (data == nullptr) return false;
    char version = 0;
    Counts first{};
    if (!ReadHeader(data, size, 0, version, first)) return false;
    const std::size_t firstBlock = BlockBytes(first, 4);
    if (firstBlock > size - kHeaderBytes) return false;
    if (version == 0) {
        return ReadBlock(data + kHeaderBytes, first, 4, out);
    }
    // Version 2 and later repeat the data with 64-bit times, then add the footer.
    const std::size_t second = kHeaderBytes + firstBlock;
    char version2 = 0;
    Counts c{};
    if (!ReadHeader(data, size, second, version2, c)) return false;
    const std::size_t blockAt = second + kHeaderBytes;
    const std::size_t block = BlockBytes(c, 8);
    if (block > size - blockAt) return false;
    if (!ReadBlock(data + blockAt, c, 8, out)) return false;
    // The footer is required from version 2 on (it may be empty): without it the file was cut.
    const std::size_t at = blockAt + block;
    if (at >= size || data[at] != '\n') return false;
    const auto* begin = data + at + 1;
    const auto* end = std::find(begin, data + size, static_cast<std::uint8_t>('\n'));
    if (end == data + size) return false;
    out.footer.assign(begin, end);
    return true;
}

}  // namespace

bool ParseTzif(const std::uint8_t* data, std::size_t size, TzifData& out) {
    // Parsed aside, so that a refused file leaves nothing half-read behind.
    TzifData parsed;
    const bool ok = ParseInto(data, size, parsed);
    out = ok ? std::move(parsed) : TzifData{};
    return ok;
}

bool ReadTzifFile(const std::string& path, TzifData& out) {
    out = TzifData{};
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::vector<std::uint8_t> bytes;
    char buffer[8192];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxFileBytes) return false;
    }
    return ParseTzif(bytes.data(), bytes.size(), out);
}

}  // namespace platform
