#include "foundation/memory/RRef.h"

#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/memory/RefCounted.h"

namespace {

struct Counted : RRefCounted {
    explicit Counted(int* destroyed) : destroyed(destroyed) {}
    ~Counted() override { ++*destroyed; }
    int* destroyed;
};

struct Derived : Counted {
    using Counted::Counted;
};

// Hands over a new reference through an out-parameter, the way the library getters do.
void HandOver(Counted* object, Counted** out) {
    object->AddRef();
    *out = object;
}

TEST(RRef, AdoptTakesTheFirstReferenceAndTheLastHandleDeletes) {
    int destroyed = 0;
    {
        auto a = RRef<Counted>::Adopt(new Counted(&destroyed));
        EXPECT_EQ(a->RefCount(), 1);
        {
            RRef<Counted> copy = a;
            EXPECT_EQ(a->RefCount(), 2);
            RRef<Counted> moved = std::move(copy);
            EXPECT_EQ(copy, nullptr);
            EXPECT_EQ(a->RefCount(), 2);
        }
        EXPECT_EQ(a->RefCount(), 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(RRef, ShareAddsItsOwnReferenceToABorrowedObject) {
    int destroyed = 0;
    auto* raw = new Counted(&destroyed);
    {
        auto shared = RRef<Counted>::Share(raw);
        EXPECT_EQ(raw->RefCount(), 2);
    }
    EXPECT_EQ(destroyed, 0);
    raw->Release();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(RRef<Counted>::Share(nullptr), nullptr);
}

TEST(RRef, AssignmentReleasesTheOldObjectAndSurvivesSelfAssignment) {
    int first = 0;
    int second = 0;
    auto a = MakeRef<Counted>(&first);
    auto b = MakeRef<Counted>(&second);
    a = b;
    EXPECT_EQ(first, 1);
    EXPECT_EQ(b->RefCount(), 2);

    // The only handle assigned to itself, by copy and by move: the object must stay alive.
    b.reset();
    auto& alias = a;
    a = alias;
    a = std::move(alias);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(second, 0);

    a = nullptr;
    EXPECT_EQ(second, 1);
}

TEST(RRef, DetachAndReceiveHandReferencesAcrossRawPointerInterfaces) {
    int destroyed = 0;
    auto a = MakeRef<Counted>(&destroyed);
    Counted* raw = a.detach();
    EXPECT_FALSE(a);
    EXPECT_EQ(raw->RefCount(), 1);

    int old = 0;
    auto held = MakeRef<Counted>(&old);
    HandOver(raw, held.receive());  // the old object goes, the handed-over reference is adopted
    EXPECT_EQ(old, 1);
    EXPECT_EQ(held, raw);
    EXPECT_EQ(raw->RefCount(), 2);
    raw->Release();
    held.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(RRef, DerivedHandlesConvertToBaseHandles) {
    int destroyed = 0;
    auto derived = MakeRef<Derived>(&destroyed);
    RRef<Counted> base = derived;
    EXPECT_EQ(base->RefCount(), 2);
    RRef<Counted> moved = std::move(derived);
    EXPECT_EQ(derived, nullptr);
    EXPECT_EQ(moved->RefCount(), 2);
    base.reset();
    moved.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(RRef, HandlesOnSeveralThreadsShareOneObject) {
    int destroyed = 0;
    auto object = MakeRef<Counted>(&destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([copy = object] {
            for (int i = 0; i < 10000; ++i) {
                RRef<Counted> local = copy;
                EXPECT_GE(local->RefCount(), 2);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(object->RefCount(), 1);
    object.reset();
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
