#pragma once
// Growth of the lists a control keeps for its whole life (its elements, their stacking,
// its changes and their records, its damage). They are refilled every tick and never
// shrink, so their room is memory the control holds for good: growing by a quarter rather
// than doubling keeps that room within a quarter of the most a list has held, and once a
// list has reached its size, steady use allocates nothing either way.
#include <utility>
#include <vector>

namespace kyv::detail {

// Adds `item` at the end of `list`, growing it by a quarter when it is full.
template <class T>
void append(std::vector<T>& list, T item) {
  if (list.size() == list.capacity()) list.reserve(list.size() + list.size() / 4 + 1);
  list.push_back(std::move(item));
}

}  // namespace kyv::detail
