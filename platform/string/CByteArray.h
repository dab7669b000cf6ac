#pragma once
// A growable array of bytes with the indexing and sizing operations the program uses.
// Threads: a plain value; share it read-only or copy it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class CByteArray {
public:
    int GetSize() const { return static_cast<int>(bytes_.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return bytes_.empty(); }
    void SetSize(int size) { bytes_.resize(size > 0 ? static_cast<size_t>(size) : 0); }
    void RemoveAll() { bytes_.clear(); }
    std::uint8_t* GetData() { return bytes_.data(); }
    const std::uint8_t* GetData() const { return bytes_.data(); }
    std::uint8_t& operator[](int index) { return bytes_.at(static_cast<size_t>(index)); }
    std::uint8_t operator[](int index) const { return bytes_.at(static_cast<size_t>(index)); }
    int Add(std::uint8_t value) { bytes_.push_back(value); return GetSize() - 1; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }
    bool operator==(const CByteArray& other) const = default;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace platform

using platform::CByteArray;
