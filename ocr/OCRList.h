#pragma once
// The singly linked list of the page recogniser. It holds copies of its
// elements, reports failures as codes, and sorts with a merge sort that
// accepts any "may come before" relation, strict order or not.
#include <new>

enum OCRListResult : int {
  OCRLIST_OK = 0,
  OCRLIST_BAD_INDEX = 2,  // position below 0 or above the count
  OCRLIST_NO_MEMORY = 4,  // no node, or the element could not be copied
};

template <typename T>
class OCRList {
 public:
  OCRList() = default;
  OCRList(const OCRList& other) { AppendAll(other); }
  OCRList& operator=(const OCRList& other) {
    if (this != &other) {
      Clear();
      AppendAll(other);
    }
    return *this;
  }
  ~OCRList() { Clear(); }

  int Count() const { return count_; }

  // Inserts a copy so that it becomes element `position`; Count() appends.
  int InsertAt(int position, const T& value) {
    if (position < 0 || position > count_) return OCRLIST_BAD_INDEX;
    Node* predecessor = position > 0 ? NodeAt(position - 1) : nullptr;
    Node* node = nullptr;
    try {
      node = new (std::nothrow) Node{value, nullptr};
    } catch (...) {
      return OCRLIST_NO_MEMORY;
    }
    if (!node) return OCRLIST_NO_MEMORY;
    if (predecessor) {
      node->next = predecessor->next;
      predecessor->next = node;
    } else {
      node->next = first_;
      first_ = node;
    }
    ++count_;
    return OCRLIST_OK;
  }
  int Append(const T& value) { return InsertAt(count_, value); }

  // The element at a position, walked to from the first; null outside 0 .. Count() - 1.
  T* At(int position) {
    Node* node = position >= 0 && position < count_ ? NodeAt(position) : nullptr;
    return node ? &node->value : nullptr;
  }
  const T* At(int position) const { return const_cast<OCRList*>(this)->At(position); }

  // Removes the element at a position; false outside the list.
  bool RemoveAt(int position) {
    if (position < 0 || position >= count_) return false;
    Node** link = &first_;
    for (int i = 0; i < position; ++i) link = &(*link)->next;
    Node* node = *link;
    *link = node->next;
    delete node;
    --count_;
    return true;
  }

  void Clear() {
    while (first_) {
      Node* node = first_;
      first_ = node->next;
      delete node;
      --count_;
    }
  }

  // Top-down merge sort of the chain: the first half holds ceil(n / 2) nodes,
  // and a merge takes the first half's node when mayPrecede(a, b) holds.
  template <typename MayPrecede>
  void MergeSort(MayPrecede mayPrecede) {
    first_ = SortChain(first_, mayPrecede);
  }

  // Visits the elements in order.
  template <typename Visit>
  void ForEach(Visit visit) {
    for (Node* node = first_; node; node = node->next) visit(node->value);
  }
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Node* node = first_; node; node = node->next) visit(node->value);
  }

 private:
  struct Node {
    T value;
    Node* next;
  };

  Node* NodeAt(int position) const {
    Node* node = first_;
    for (int i = 0; i < position && node; ++i) node = node->next;
    return node;
  }

  void AppendAll(const OCRList& other) {
    other.ForEach([this](const T& value) { Append(value); });
  }

  template <typename MayPrecede>
  static Node* SortChain(Node* head, MayPrecede& mayPrecede) {
    if (!head || !head->next) return head;
    // The slow pointer stops at the last node of the first part.
    Node* slow = head;
    for (Node* fast = head->next; fast && fast->next; fast = fast->next->next) slow = slow->next;
    Node* second = slow->next;
    slow->next = nullptr;
    Node* a = SortChain(head, mayPrecede);
    Node* b = SortChain(second, mayPrecede);
    Node* merged = nullptr;
    Node** tail = &merged;
    while (a && b) {
      Node*& taken = mayPrecede(static_cast<const T&>(a->value), static_cast<const T&>(b->value)) ? a : b;
      *tail = taken;
      tail = &taken->next;
      taken = taken->next;
    }
    *tail = a ? a : b;
    return merged;
  }

  int count_ = 0;
  Node* first_ = nullptr;
};
