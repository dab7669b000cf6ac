#include "platform/archive/CMemFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace platform {

CMemFile::CMemFile(std::size_t growBytes) : growBytes_(growBytes == 0 ? kDefaultGrowBytes : growBytes) {}

bool CMemFile::Reserve(std::size_t length) {
    if (length <= data_.capacity()) {
        return true;
    }
    // Whole steps, and at least double the storage, so that many small writes stay linear.
    const std::size_t wanted = std::max(length, data_.capacity() <= data_.max_size() / 2 ? data_.capacity() * 2 : length);
    const std::size_t steps = wanted / growBytes_ + (wanted % growBytes_ != 0 ? 1 : 0);
    if (steps > data_.max_size() / growBytes_) {
        return false;
    }
    try {
        data_.reserve(steps * growBytes_);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool CMemFile::Write(const void* data, std::size_t count) {
    if (count == 0) {
        return true;
    }
    if (data == nullptr || count > std::numeric_limits<std::size_t>::max() - position_) {
        return false;
    }
    const std::size_t endAt = position_ + count;
    if (endAt > data_.size()) {
        if (!Reserve(endAt)) {
            return false;
        }
        data_.resize(endAt);
    }
    std::memcpy(data_.data() + position_, data, count);
    position_ = endAt;
    return true;
}

std::size_t CMemFile::Read(void* data, std::size_t count) {
    const std::size_t n = std::min(count, Remaining());
    if (n > 0 && data != nullptr) {
        std::memcpy(data, data_.data() + position_, n);
        position_ += n;
        return n;
    }
    return 0;
}

bool CMemFile::Seek(std::int64_t offset, SeekPosition from) {
    std::int64_t base = 0;
    switch (from) {
        case begin: base = 0; break;
        case current: base = static_cast<std::int64_t>(position_); break;
        case end: base = static_cast<std::int64_t>(data_.size()); break;
        default: return false;
    }
    if ((offset < 0 && base < -offset) || (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset)) {
        return false;
    }
    position_ = static_cast<std::size_t>(base + offset);
    return true;
}

bool CMemFile::SetLength(std::size_t length) {
    if (!Reserve(length)) {
        return false;
    }
    data_.resize(length);
    position_ = std::min(position_, length);
    return true;
}

std::vector<std::uint8_t> CMemFile::Detach() {
    std::vector<std::uint8_t> taken;
    taken.swap(data_);
    position_ = 0;
    return taken;
}

void CMemFile::Close() {
    data_ = {};
    position_ = 0;
}

}  // namespace platform
