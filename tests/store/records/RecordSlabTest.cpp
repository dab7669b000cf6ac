#include "store/records/RecordSlab.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Objects spread over many blocks, freed out of order, keep their bytes apart while alive and
// give back every block but the one kept empty.
TEST(RecordSlab, ObjectsStayApartAndBlocksGoBackWhenEmptied) {
    constexpr std::size_t kSize = 1104;
    RecordSlab slab(kSize);
    std::vector<unsigned char*> objects;
    for (int i = 0; i < 1000; ++i) {
        auto* object = static_cast<unsigned char*>(slab.Allocate());
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(object) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u);
        std::memset(object, i % 251, kSize);
        objects.push_back(object);
    }
    EXPECT_GT(slab.BlockCount(), 10u);
    // Every other one freed, then made again: the slots given back are handed out again.
    for (std::size_t i = 0; i < objects.size(); i += 2) {
        slab.Free(objects[i]);
    }
    const std::size_t blocksHalfFree = slab.BlockCount();
    for (std::size_t i = 0; i < objects.size(); i += 2) {
        objects[i] = static_cast<unsigned char*>(slab.Allocate());
        std::memset(objects[i], static_cast<int>(i % 251), kSize);
    }
    EXPECT_EQ(slab.BlockCount(), blocksHalfFree);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const std::vector<unsigned char> expected(kSize, static_cast<unsigned char>(i % 251));
        ASSERT_EQ(std::memcmp(objects[i], expected.data(), kSize), 0) << "object " << i;
    }
    slab.Free(nullptr);
    for (std::size_t i = 0; i < objects.size(); i += 3) {
        slab.Free(objects[i]);
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (i % 3 != 0) {
            slab.Free(objects[i]);
        }
    }
    EXPECT_EQ(slab.BlockCount(), 1u);
}
