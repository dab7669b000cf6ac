#include "foundation/memory/RList.h"

#include <new>

namespace {

RListNode* NewNode(void* payload) {
    return new (std::nothrow) RListNode{payload, nullptr, nullptr};
}

}  // namespace

RResult RList::AddTail(void* payload) {
    RListNode* node = NewNode(payload);
    if (node == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    node->prev = tail;
    if (tail != nullptr) {
        tail->next = node;
    }
    if (head == nullptr) {
        head = node;
    }
    ++count;
    tail = node;
    return R_OK;
}

RResult RList::InsertSorted(void* payload) {
    RListNode* node = NewNode(payload);
    if (node == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    if (head == nullptr) {
        ++count;
        head = tail = node;
        return R_OK;
    }
    for (RListNode* at = head; at != nullptr; at = at->next) {
        const int verdict = compare != nullptr ? compare(at->payload, payload) : 1;
        if (verdict > 0) {
            node->next = at;
            node->prev = at->prev;
            if (at->prev != nullptr) {
                at->prev->next = node;
            } else {
                head = node;
            }
            at->prev = node;
            ++count;
            return R_OK;
        }
    }
    node->prev = tail;
    tail->next = node;
    tail = node;
    ++count;
    return R_OK;
}

RResult RList::AddUnique(void* value) {
    RListNode* node = NewNode(value);
    if (node == nullptr) {
        return R_E_OUT_OF_MEMORY;
    }
    if (compare != nullptr) {
        for (RListNode* at = head; at != nullptr; at = at->next) {
            if (compare(at->payload, value) == 0) {
                delete node;
                return R_OK;
            }
        }
    }
    node->prev = tail;
    if (tail != nullptr) {
        tail->next = node;
    }
    if (head == nullptr) {
        head = node;
    }
    tail = node;
    ++count;
    return R_OK;
}

void RList::FreeNodes() {
    RListNode* node = head;
    while (node != nullptr) {
        RListNode* next = node->next;
        delete node;
        node = next;
    }
    head = tail = nullptr;
}

RResult RList::RemoveAll() {
    FreeNodes();
    count = 0;
    return R_OK;
}

RListNode* RList::NodeAt(int index) const {
    if (index < 0) {
        return nullptr;
    }
    RListNode* node = head;
    for (int i = 0; node != nullptr && i < index; ++i) {
        node = node->next;
    }
    return node;
}

void* RList::PayloadAt(int index) const {
    RListNode* node = NodeAt(index);
    return node != nullptr ? node->payload : nullptr;
}

void* RList::RemoveAt(int index) {
    RListNode* node = NodeAt(index);
    if (node == nullptr) {
        return nullptr;
    }
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        head = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        tail = node->prev;
    }
    void* payload = node->payload;
    delete node;
    --count;
    return payload;
}
