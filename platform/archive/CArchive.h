#pragma once
// A binary archive over a memory file, in storing or loading mode. Numbers are little-endian.
// Strings use the archive string image: 0xFF, the UTF-16 mark 0xFFFE, the length in characters
// (one byte below 255; else 0xFF and 16 bits below 0xFFFE; else 0xFF, 0xFFFF and 32 bits), then
// the UTF-16LE characters. A read that runs short or meets a bad image, or a write that cannot
// be done, leaves the archive failed: later reads give zeros and change nothing.
// Threads: one thread at a time, together with its memory file.
#include <cstddef>
#include <cstdint>

#include "platform/archive/CMemFile.h"
#include "platform/string/CString.h"

namespace platform {

class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CMemFile& file, Mode mode) : file_(file), mode_(mode) {}
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return mode_ == store; }
    bool IsLoading() const { return mode_ == load; }
    bool Failed() const { return failed_; }
    // Nothing is buffered, so closing only ends the archive's use.
    void Close() {}

    void Write(const void* data, std::size_t count);
    // All or nothing: false (and the archive failed) when fewer than `count` bytes remain.
    bool Read(void* data, std::size_t count);

    CArchive& operator<<(std::uint8_t value);
    CArchive& operator<<(std::uint16_t value);
    CArchive& operator<<(std::uint32_t value);
    CArchive& operator<<(std::int32_t value);
    CArchive& operator<<(const CStringW& text);

    CArchive& operator>>(std::uint8_t& value);
    CArchive& operator>>(std::uint16_t& value);
    CArchive& operator>>(std::uint32_t& value);
    CArchive& operator>>(std::int32_t& value);
    // `text` is changed only when a whole image was read.
    CArchive& operator>>(CStringW& text);

private:
    void WriteLittleEndian(std::uint64_t value, std::size_t bytes);
    bool ReadLittleEndian(std::uint64_t& value, std::size_t bytes);
    // Reads the length prefix; wide tells whether the UTF-16 mark was met.
    bool ReadStringLength(std::uint32_t& length, bool& wide);

    CMemFile& file_;
    Mode mode_;
    bool failed_ = false;
};

}  // namespace platform

using platform::CArchive;
