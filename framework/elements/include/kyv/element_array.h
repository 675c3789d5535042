#pragma once
// A control array of elements addressed as name(index). Design-time members are made
// with `create`; `Load` adds a hidden copy of the first member at run time and `Unload`
// removes it again. Unloaded members are kept in a pool and reused, so loading and
// unloading in steady state allocates nothing.
//
// An array told how many members it will make keeps the first that many side by side in
// one block of its own; members beyond those, and every member of an array told nothing,
// each take a heap block.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kyv/elements.h"
#include "kyv/error.h"

namespace kyv {

template <class T>
class ElementArray {
 public:
  // `designTime`: how many members `create` will make (up to 32767), kept in one block.
  ElementArray(Container& parent, std::string_view name, int designTime = 0)
      : parent_(parent),
        name_(&sharedElementName(name)),
        blockSize_(static_cast<int16_t>(designTime > 0 ? std::min(designTime, 32767) : 0)) {}
  ~ElementArray() {
    for (T* member : slots_) release(member);
    if (pool_)
      for (T* member : *pool_) release(member);
    if (block_) ::operator delete(block_);
  }
  ElementArray(const ElementArray&) = delete;
  ElementArray& operator=(const ElementArray&) = delete;

  // Makes design-time member `index`, visible, with the element's own defaults.
  T& create(int index) {
    checkFree(index);
    grow(index);
    T* member = make(index);
    member->designTime_.value = true;
    slots_[index] = member;
    ++count_;
    return *member;
  }

  // Member `index`; a missing one raises subscript-out-of-range.
  T& Item(int index) const {
    if (!exists(index)) missing(index);
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
    T* member;
    if (pool_ && !pool_->empty()) {
      member = pool_->back();
      pool_->pop_back();
      member->touch();
      parent_.attach(*member);
    } else {
      member = make(index);
    }
    *member = first;
    member->index_ = index;
    member->visible_ = false;
    slots_[index] = member;
    ++count_;
    return *member;
  }

  // Removes a member added by Load; design-time members cannot be unloaded.
  void Unload(int index) {
    T& member = Item(index);
    if (member.designTime_.value)
      raise(ErrorKind::InvalidPropertyValue, "Can't unload " + member.path() + ": it is a design-time member");
    member.touch();
    parent_.detach(member);
    if (!pool_) pool_ = std::make_unique<std::vector<T*>>();
    pool_->push_back(&member);
    slots_[index] = nullptr;
    --count_;
  }

  // Calls f(member) for every loaded member in index order.
  template <class F>
  void forEach(F&& f) const {
    for (T* s : slots_)
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
  // A new member: in the block while it has room, else on the heap.
  T* make(int index) {
    if (blockUsed_ == blockSize_) return new T(parent_, *name_, index);
    if (!block_) block_ = static_cast<T*>(::operator new(sizeof(T) * static_cast<size_t>(blockSize_)));
    T* member = new (block_ + blockUsed_) T(parent_, *name_, index);
    ++blockUsed_;
    return member;
  }
  bool inBlock(const T* member) const {
    const std::less<const T*> before;
    return !before(member, block_) && before(member, block_ + blockUsed_);
  }
  void release(T* member) {
    if (!member) return;
    if (inBlock(member))
      member->~T();
    else
      delete member;
  }

  Container& parent_;
  const std::string* name_;  // shared by every array of that name
  std::vector<T*> slots_;    // by index; null where no member is loaded
  // Unloaded members, kept for the next Load; made at the first Unload, which few arrays see.
  std::unique_ptr<std::vector<T*>> pool_;
  T* block_ = nullptr;  // room for blockSize_ members, the first blockUsed_ of them made
  int16_t blockSize_ = 0, blockUsed_ = 0;
  int count_ = 0;
};

}  // namespace kyv
