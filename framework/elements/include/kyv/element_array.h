#pragma once
// A control array of elements addressed as name(index). Design-time members are made
// with `create`; `Load` adds a hidden copy of the first member at run time and `Unload`
// removes it again. Unloaded members are kept in a pool and reused, so loading and
// unloading in steady state allocates nothing.
#include <memory>
#include <string>
#include <vector>

#include "kyv/elements.h"
#include "kyv/error.h"

namespace kyv {

template <class T>
class ElementArray {
 public:
  ElementArray(Container& parent, std::string_view name) : parent_(parent), name_(&sharedElementName(name)) {}
  ElementArray(const ElementArray&) = delete;
  ElementArray& operator=(const ElementArray&) = delete;

  // Makes design-time member `index`, visible, with the element's own defaults.
  T& create(int index) {
    checkFree(index);
    grow(index);
    slots_[index] = std::make_unique<T>(parent_, *name_, index);
    slots_[index]->designTime_.value = true;
    ++count_;
    return *slots_[index];
  }

  // Member `index`; a missing one raises subscript-out-of-range.
  T& Item(int index) const {
    if (index < 0 || index >= static_cast<int>(slots_.size()) || !slots_[index]) missing(index);
    return *slots_[index];
  }
  T& operator()(int index) const { return Item(index); }
  bool exists(int index) const {
    return index >= 0 && index < static_cast<int>(slots_.size()) && slots_[index] != nullptr;
  }
  int Count() const { return count_; }
  const std::string& name() const { return *name_; }

  // Adds member `index` as a hidden copy of the lowest-indexed member.
  T& Load(int index) {
    checkFree(index);
    const T& first = Item(lowest());
    grow(index);
    std::unique_ptr<T> member;
    if (pool_ && !pool_->empty()) {
      member = std::move(pool_->back());
      pool_->pop_back();
      member->touch();
      parent_.attach(*member);
    } else {
      member = std::make_unique<T>(parent_, *name_, index);
    }
    *member = first;
    member->index_ = index;
    member->visible_ = false;
    slots_[index] = std::move(member);
    ++count_;
    return *slots_[index];
  }

  // Removes a member added by Load; design-time members cannot be unloaded.
  void Unload(int index) {
    T& member = Item(index);
    if (member.designTime_.value)
      raise(ErrorKind::InvalidPropertyValue, "Can't unload " + member.path() + ": it is a design-time member");
    member.touch();
    parent_.detach(member);
    if (!pool_) pool_ = std::make_unique<std::vector<std::unique_ptr<T>>>();
    pool_->push_back(std::move(slots_[index]));
    --count_;
  }

  // Calls f(member) for every loaded member in index order.
  template <class F>
  void forEach(F&& f) const {
    for (const auto& s : slots_)
      if (s) f(*s);
  }

 private:
  [[noreturn]] void missing(int index) const {
    raise(ErrorKind::SubscriptOutOfRange,
          "Subscript out of range: " + *name_ + "(" + std::to_string(index) + ") does not exist");
  }
  void checkFree(int index) const {
    if (index < 0 || index > 32767) missing(index);
    if (exists(index))
      raise(ErrorKind::InvalidPropertyValue, *name_ + "(" + std::to_string(index) + ") is already loaded");
  }
  int lowest() const {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i]) return static_cast<int>(i);
    raise(ErrorKind::SubscriptOutOfRange, "Subscript out of range: " + *name_ + " has no members");
  }
  void grow(int index) {
    if (index >= static_cast<int>(slots_.size())) slots_.resize(index + 1);
  }

  Container& parent_;
  const std::string* name_;  // shared by every array of that name
  std::vector<std::unique_ptr<T>> slots_;
  // Unloaded members, kept for the next Load; made at the first Unload, which few arrays see.
  std::unique_ptr<std::vector<std::unique_ptr<T>>> pool_;
  int count_ = 0;
};

}  // namespace kyv
