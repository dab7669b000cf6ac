#pragma once
// RRef<T>: the owning handle for a reference-counted object (anything with AddRef and Release,
// usually an RRefCounted). It holds one reference and releases it on destruction, so no code
// path has to pair a Release by hand.
//
//   auto calendar = RRef<RIcsCalendar>::Adopt(new RIcsCalendar());  // takes the creator's reference
//   auto shared = RRef<RIcsCalendar>::Share(borrowed);               // adds a reference of its own
//   home->GetConnection(connection.receive());                       // out-parameter that hands one over
//   return calendar.detach();                                        // hands the reference to the caller
//
// Copies AddRef, moves transfer, assignment releases what was held before.
// Threads: one handle belongs to one thread; the object itself may be shared as far as its own
// class allows, and separate handles to it may live on separate threads (the count is atomic).
#include <cstddef>
#include <type_traits>
#include <utility>

template <typename T>
class RRef {
public:
    RRef() noexcept = default;
    RRef(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor): null converts like a pointer

    // Takes over a reference the caller already owns (a new object's first one, or one an
    // out-parameter handed over); null is allowed.
    [[nodiscard]] static RRef Adopt(T* object) noexcept { return RRef(object); }

    // Adds a reference of its own to a borrowed object; null is allowed.
    [[nodiscard]] static RRef Share(T* object) noexcept {
        if (object != nullptr) {
            object->AddRef();
        }
        return RRef(object);
    }

    RRef(const RRef& other) noexcept : object_(other.object_) { AddRefHeld(); }
    RRef(RRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}

    // A handle to a derived class converts to a handle to its base.
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RRef(const RRef<U>& other) noexcept : object_(other.get()) {  // NOLINT(google-explicit-constructor)
        AddRefHeld();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RRef(RRef<U>&& other) noexcept : object_(other.detach()) {}  // NOLINT(google-explicit-constructor)

    ~RRef() { ReleaseHeld(); }

    // Copy and swap: the new reference is taken before the old one goes, so assigning a handle to
    // another handle on the same object never frees the object on the way.
    RRef& operator=(const RRef& other) noexcept {
        if (this != &other) {
            RRef copy(other);
            swap(copy);
        }
        return *this;
    }
    RRef& operator=(RRef&& other) noexcept {
        RRef(std::move(other)).swap(*this);
        return *this;
    }
    RRef& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    // Releases the held reference (if any) and leaves the handle empty.
    void reset() noexcept { RRef().swap(*this); }

    // Gives the held reference to the caller, who must release it; the handle is left empty.
    [[nodiscard]] T* detach() noexcept { return std::exchange(object_, nullptr); }

    // For an out-parameter that hands over a reference: releases what is held and returns the
    // slot to fill. The handle adopts whatever the callee stores there.
    [[nodiscard]] T** receive() noexcept {
        reset();
        return &object_;
    }

    void swap(RRef& other) noexcept { std::swap(object_, other.object_); }

    friend bool operator==(const RRef& a, const RRef& b) noexcept { return a.object_ == b.object_; }
    friend bool operator==(const RRef& a, std::nullptr_t) noexcept { return a.object_ == nullptr; }
    friend bool operator==(const RRef& a, const T* b) noexcept { return a.object_ == b; }

private:
    explicit RRef(T* adopted) noexcept : object_(adopted) {}

    void AddRefHeld() const noexcept {
        if (object_ != nullptr) {
            object_->AddRef();
        }
    }
    void ReleaseHeld() noexcept {
        if (object_ != nullptr) {
            std::exchange(object_, nullptr)->Release();
        }
    }

    T* object_ = nullptr;
};

// A new object of type T, held from its first reference.
template <typename T, typename... Args>
[[nodiscard]] RRef<T> MakeRef(Args&&... args) {
    return RRef<T>::Adopt(new T(std::forward<Args>(args)...));
}
