#include "foundation/memory/RRecycled.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORVANE_RECYCLE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORVANE_RECYCLE_BLOCKS 0
#endif
#endif
#ifndef ORVANE_RECYCLE_BLOCKS
#define ORVANE_RECYCLE_BLOCKS 1
#endif

namespace recycled {

#if ORVANE_RECYCLE_BLOCKS
namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kClasses = kLargestBlock / kGranule;

// A cached block holds the link to the next one of its class.
struct FreeBlock {
    FreeBlock* next;
};

// Plain data, so that reaching it costs no initialisation check; the blocks it holds are freed
// by the thread's CacheRelease, which the first cached block arms.
struct Cache {
    FreeBlock* heads[kClasses];
    std::size_t cachedBytes;
    bool armed;  // CacheRelease is registered for this thread
    bool gone;   // the thread is ending: blocks go to the heap from now on
};
thread_local constinit Cache t_cache{};

struct CacheRelease {
    bool registered = false;
    ~CacheRelease() {
        t_cache.gone = true;
        for (FreeBlock*& head : t_cache.heads) {
            while (head != nullptr) {
                FreeBlock* next = head->next;
                ::operator delete(head);
                head = next;
            }
        }
        t_cache.cachedBytes = 0;
    }
};
thread_local CacheRelease t_release;

// The class of a block of `size` bytes (1 ... kLargestBlock); its blocks all have the class's
// largest size, so that any block of the class serves any request of it.
std::size_t ClassOf(std::size_t size) { return (size - 1) / kGranule; }
std::size_t ClassSize(std::size_t index) { return (index + 1) * kGranule; }
bool Cacheable(std::size_t size) { return size != 0 && size <= kLargestBlock; }

void* TakeCached(std::size_t size) noexcept {
    if (!Cacheable(size)) {
        return nullptr;
    }
    const std::size_t index = ClassOf(size);
    FreeBlock* block = t_cache.heads[index];
    if (block == nullptr) {
        return nullptr;
    }
    t_cache.heads[index] = block->next;
    t_cache.cachedBytes -= ClassSize(index);
    return block;
}

std::size_t HeapSize(std::size_t size) { return Cacheable(size) ? ClassSize(ClassOf(size)) : size; }

}  // namespace

void* Allocate(std::size_t size) {
    if (void* block = TakeCached(size)) {
        return block;
    }
    return ::operator new(HeapSize(size));
}

void* AllocateNoThrow(std::size_t size) noexcept {
    if (void* block = TakeCached(size)) {
        return block;
    }
    return ::operator new(HeapSize(size), std::nothrow);
}

void Free(void* block, std::size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    if (Cacheable(size) && !t_cache.gone) {
        const std::size_t index = ClassOf(size);
        if (t_cache.cachedBytes + ClassSize(index) <= kMaxCachedBytes) {
            if (!t_cache.armed) {
                t_release.registered = true;  // its first use registers the release at thread exit
                t_cache.armed = true;
            }
            auto* cached = static_cast<FreeBlock*>(block);
            cached->next = t_cache.heads[index];
            t_cache.heads[index] = cached;
            t_cache.cachedBytes += ClassSize(index);
            return;
        }
    }
    ::operator delete(block);
}

#else

void* Allocate(std::size_t size) { return ::operator new(size); }
void* AllocateNoThrow(std::size_t size) noexcept { return ::operator new(size, std::nothrow); }
void Free(void* block, std::size_t /*size*/) noexcept { ::operator delete(block); }

#endif

}  // namespace recycled
