#include "foundation/memory/RList.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

struct Keyed {
    int key;
    int order;  // insertion order, to see stability
};

int ByKey(const void* existing, const void* added) {
    return static_cast<const Keyed*>(existing)->key - static_cast<const Keyed*>(added)->key;
}

int AllEqual(const void*, const void*) { return 0; }

// Insertion orders from head to tail, checking the back links and the tail on the way.
std::vector<int> Orders(const RList& list) {
    std::vector<int> orders;
    const RListNode* previous = nullptr;
    for (const RListNode* node = list.head; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        orders.push_back(static_cast<Keyed*>(node->payload)->order);
        previous = node;
    }
    EXPECT_EQ(list.tail, previous);
    EXPECT_EQ(list.count, static_cast<int>(orders.size()));
    return orders;
}

std::vector<int> InsertAll(RList& list, Keyed* items, int n) {
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(list.InsertSorted(&items[i]), 0);
    }
    std::vector<int> orders = Orders(list);
    list.RemoveAll();
    return orders;
}

TEST(RList, InsertSortedOrderAndStability) {
    Keyed mixed[] = {{5, 0}, {1, 1}, {5, 2}, {3, 3}, {1, 4}, {9, 5}, {5, 6}};
    RList sorted;
    sorted.compare = ByKey;
    EXPECT_EQ(InsertAll(sorted, mixed, 7), (std::vector<int>{1, 4, 3, 0, 2, 6, 5}));

    Keyed same[] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}};
    RList equal;
    equal.compare = AllEqual;
    EXPECT_EQ(InsertAll(equal, same, 4), (std::vector<int>{0, 1, 2, 3}));
    RList unsorted;  // no callback: every element goes to the front
    EXPECT_EQ(InsertAll(unsorted, same, 4), (std::vector<int>{3, 2, 1, 0}));
}

TEST(RList, FreeNodesLeavesCountButRemoveAllClearsIt) {
    Keyed a{0, 0}, b{0, 1};
    RList list;
    list.AddTail(&a);
    list.AddTail(&b);
    list.FreeNodes();
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 2);

    list.count = 0;  // as every caller that reuses the list does
    list.AddTail(&a);
    EXPECT_EQ(Orders(list), std::vector<int>{0});
    EXPECT_EQ(list.RemoveAll(), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.head, nullptr);
}

TEST(RList, RemoveAtRelinksHeadMiddleAndTail) {
    Keyed v[4] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}};
    RList list;
    for (Keyed& x : v) {
        list.AddTail(&x);
    }
    EXPECT_EQ(list.RemoveAt(1), &v[1]);
    EXPECT_EQ(list.RemoveAt(0), &v[0]);
    EXPECT_EQ(list.RemoveAt(1), &v[3]);
    EXPECT_EQ(list.RemoveAt(1), nullptr);
    EXPECT_EQ(Orders(list), std::vector<int>{2});
    EXPECT_EQ(list.RemoveAt(0), &v[2]);
    EXPECT_EQ(Orders(list), std::vector<int>{});
}

}  // namespace
