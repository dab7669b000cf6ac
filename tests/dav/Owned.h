#pragma once
// A fresh reference-counted client object held for one test's scope and released at its end.

namespace orvane::test {

template <typename T>
struct Owned {
    T* p = new T();
    Owned() = default;
    ~Owned() { p->Release(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return p; }
};

}  // namespace orvane::test
