#pragma once
// A file held in memory: written, read and positioned like a disk file; its storage grows in whole
// steps of a fixed size, and its contents can be taken over in one piece.
// Threads: one thread at a time.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class CMemFile {
public:
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    static constexpr std::size_t kDefaultGrowBytes = 1024;

    explicit CMemFile(std::size_t growBytes = kDefaultGrowBytes);

    // Writes at the current position, past the end if need be (a gap reads as zeros).
    // False, with nothing written, when memory runs out or the size would overflow.
    bool Write(const void* data, std::size_t count);
    // Reads up to `count` bytes from the current position; returns how many were read.
    std::size_t Read(void* data, std::size_t count);

    // Moves the position; false, with the position unchanged, for a place before the start.
    bool Seek(std::int64_t offset, SeekPosition from);
    void SeekToBegin() { position_ = 0; }
    std::size_t GetPosition() const { return position_; }
    std::size_t GetLength() const { return data_.size(); }
    // Bytes from the current position to the end.
    std::size_t Remaining() const { return position_ < data_.size() ? data_.size() - position_ : 0; }

    // Cuts or extends the file (new bytes are zero); the position stays within the new length.
    bool SetLength(std::size_t length);

    // Hands over the contents, GetLength() bytes, and leaves the file empty.
    std::vector<std::uint8_t> Detach();
    // Empties the file.
    void Close();

    const std::uint8_t* Data() const { return data_.data(); }

private:
    bool Reserve(std::size_t length);

    std::size_t growBytes_;
    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
};

}  // namespace platform

using platform::CMemFile;
