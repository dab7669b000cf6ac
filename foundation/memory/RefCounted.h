#pragma once
// Shared ownership by reference counting: the creator holds the first reference, every holder
// that keeps a pointer calls AddRef and later Release, and the last Release deletes the object.
// The slot order is the destructor, AddRef, Release. Counts are atomic so that a worker thread
// and the user-interface thread can share an object safely.
// Threads: the count is safe to share; what a derived object holds follows its own class's rule.
#include <atomic>
#include <cstdint>

class RRefCounted {
public:
    RRefCounted() = default;
    RRefCounted(const RRefCounted&) = delete;
    RRefCounted& operator=(const RRefCounted&) = delete;

    virtual ~RRefCounted() = default;
    virtual std::int32_t AddRef() { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }
    virtual std::int32_t Release() {
        // Only the holder of the last reference can see 1, and no other thread can add to a count
        // it holds no reference to: the last release needs no locked read-modify-write.
        if (refCount_.load(std::memory_order_acquire) == 1) {
            delete this;
            return 0;
        }
        const std::int32_t left = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left > 0) {
            return left;
        }
        delete this;
        return 0;
    }

    std::int32_t RefCount() const { return refCount_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int32_t> refCount_{1};
};

// Releases the object and clears the pointer; null is allowed.
template <typename T>
void SafeRelease(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}
