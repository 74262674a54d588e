// SPDX-License-Identifier: MIT
// The renderer's doubly linked lists (texture records and their users, swap
// chains, render textures). A node knows the list it sits in, so an owner
// that keeps only its node can unlink itself without searching. The list owns
// its nodes, never the items they point at. Not synchronised.
#pragma once

#include <cassert>
#include <cstdint>

template <class ITEM>
class LinkedList {
public:
    struct Node {
        ITEM* item = nullptr;
        Node* next = nullptr;
        Node* previous = nullptr;
        LinkedList* list = nullptr;
    };

    Node* head = nullptr;
    Node* tail = nullptr;
    int32_t count = 0;

    LinkedList() = default;
    ~LinkedList() { clear(); }
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;

    Node* append(ITEM* item) {
        Node* node = new Node{item, nullptr, tail, this};
        if (tail)
            tail->next = node;
        else
            head = node;
        tail = node;
        ++count;
        return node;
    }

    void remove(Node* node) {
        assert(node && node->list == this &&
               "LinkedList::remove: the node belongs to another list");
        if (node->previous)
            node->previous->next = node->next;
        else
            head = node->next;
        if (node->next)
            node->next->previous = node->previous;
        else
            tail = node->previous;
        --count;
        delete node;
    }

    // Frees the nodes; the items stay with their owners.
    void clear() {
        while (head) remove(head);
    }
};
