#pragma once
// The text that a component writes, built once into a heap buffer and cached until it is dropped.
// Needs its owner's lock: it is part of the component that holds it.
#include "foundation/memory/RHeapBuffer.h"

class RIcsTextCache {
public:
    RIcsTextCache() = default;
    RIcsTextCache(const RIcsTextCache&) = delete;
    RIcsTextCache& operator=(const RIcsTextCache&) = delete;
    ~RIcsTextCache() { Drop(); }

    // The cached text; built by build(buffer) when there is none. Null when the builder wrote nothing.
    template <typename Builder>
    const char* Get(Builder build) {
        if (text_ != nullptr) {
            return text_;
        }
        if (buffer_ == nullptr) {
            build(&buffer_);
        }
        if (buffer_ != nullptr) {
            text_ = buffer_->data;
        }
        return text_;
    }

    // Frees the buffer; the next Get builds the text again. Builders start with it.
    void Drop() {
        RHeapBuffer::Free(buffer_);
        buffer_ = nullptr;
        text_ = nullptr;
    }
    RHeapBuffer** Buffer() { return &buffer_; }

private:
    RHeapBuffer* buffer_ = nullptr;
    const char* text_ = nullptr;
};
