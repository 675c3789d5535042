#pragma once
// ClassTable<C>: one declarative table per control class that drives dispatch, type
// info, ReadProperties and WriteProperties.
//
//   static const kyv::ClassTable<Gauge> table{
//       "Lib.Gauge", 465, 3540,
//       {T::property<&Gauge::Maxlimit, &Gauge::setMaxlimit>("Maxlimit", 0x68030001),
//        T::method<&Gauge::incbar>("incbar", 0x6003000F)},
//       {{"Reached", 1, ""}},
//       {T::stored<&Gauge::Maxlimit>("Maxlimit", kMaxlimit, [](Gauge& g, int16_t v) { g.maxlimit_ = v; })}};
//
// The extent after the class name is the default one, or {width, height, minimumWidth,
// minimumHeight} for a class whose layout needs a smallest size (DesignExtent). A
// Presentation may follow it: how hosts present the class (title, kind of picture, ...).
//
// A method that takes a reading may be a feed row, which says what the method shows of it
// (FeedInfo), for the hosts that feed it:
//
//   T::feed<&Gauge::incbar>("incbar", 0x6003000F, "Shows a reading.",
//                           {.argument = "BarData", .fullScale = "Maxlimit", .replay = kyv::Replay::LastReading})
//
// A property row may add a note to its help text: what the help text does not say, for
// the reference pages and the typed Qt widgets' documentation.
//
// Property accessors are typed member functions (T Name() const / void setName(T)); a
// getter may also be non-const (T Name()) when reading has effects of its own. A method
// takes its one argument by reference (R name(A&)), and what it writes there reaches the
// caller's variant even when the method fails. Persist rows list the bag entries in their
// order. Most are made by stored<&K::Getter>(key, default, load): one entry of the
// getter's type, saved through the getter and loaded by `load`, which puts the value in
// place without the setter's notification. A row of several entries (one per element of a
// group), or of a value no getter returns as it is saved, spells out its key, default,
// type, and how to load and save entry i (a row whose count the instance decides also says
// how many entries it has, for the reference pages). When a class saves in another order
// than it loads, a last argument lists the keys in the order WriteProperties writes them:
// {"BackColor", "Columns", ...}.
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/control.h"
#include "kyv/error.h"

namespace kyv {

// One line a type: the tables read better than clang-format's layout of them.
// clang-format off
template <class T> struct VarTypeOf;
template <> struct VarTypeOf<int16_t> { static constexpr VarType value = VarType::Integer; };
template <> struct VarTypeOf<int32_t> { static constexpr VarType value = VarType::Long; };
template <> struct VarTypeOf<float> { static constexpr VarType value = VarType::Single; };
template <> struct VarTypeOf<double> { static constexpr VarType value = VarType::Double; };
template <> struct VarTypeOf<bool> { static constexpr VarType value = VarType::Boolean; };
template <> struct VarTypeOf<Colour> { static constexpr VarType value = VarType::Colour; };
template <> struct VarTypeOf<Variant> { static constexpr VarType value = VarType::Variant; };
template <> struct VarTypeOf<void> { static constexpr VarType value = VarType::Variant; };

template <class T> T fromVariant(const Variant& v);
template <> inline int16_t fromVariant<int16_t>(const Variant& v) { return v.toInteger(); }
template <> inline int32_t fromVariant<int32_t>(const Variant& v) { return v.toLong(); }
template <> inline float fromVariant<float>(const Variant& v) { return v.toSingle(); }
template <> inline double fromVariant<double>(const Variant& v) { return v.toDouble(); }
template <> inline bool fromVariant<bool>(const Variant& v) { return v.toBoolean(); }
template <> inline Colour fromVariant<Colour>(const Variant& v) { return v.toColour(); }

template <class F> struct GetterFn;
template <class K, class T> struct GetterFn<T (K::*)() const> { using Value = std::decay_t<T>; };
template <class K, class T> struct GetterFn<T (K::*)()> { using Value = std::decay_t<T>; };
template <class F> struct SetterFn;
template <class K, class T> struct SetterFn<void (K::*)(T)> { using Value = std::decay_t<T>; };
template <class F> struct MethodFn;
template <class K, class R, class A> struct MethodFn<R (K::*)(A&)> {
  using Result = R;
  using Arg = A;
};
// clang-format on

template <class C>
class ClassTable final : public ClassInfo {
 public:
  struct Member {
    MemberInfo info;
    Variant (*get)(C&) = nullptr;
    void (*put)(C&, const Variant&) = nullptr;
    Variant (*call)(C&, Variant&) = nullptr;
  };
  struct Persist {
    std::string_view key;
    Variant fallback;
    VarType type;
    std::function<void(C&, int entry, const Variant& value)> load;  // value already of `type`
    std::function<Variant(C&, int entry)> save;
    int reads = 1;                     // entries read by ReadProperties
    int writes = 1;                    // entries written by WriteProperties
    int (*count)(const C&) = nullptr;  // when set: entries in both directions
    std::string_view entries = {};     // with `count`: how many, for the reference pages
  };

  // `note` says what `help` does not (see MemberInfo::note).
  template <auto Get, auto Set>
  static Member property(std::string_view name, DispId id, std::string_view help = {}, std::string_view note = {}) {
    using T = typename GetterFn<decltype(Get)>::Value;
    static_assert(std::is_same_v<T, typename SetterFn<decltype(Set)>::Value>);
    return {{name, MemberKind::Property, VarTypeOf<T>::value, id, help, VarType::Empty, note},
            [](C& c) { return Variant((c.*Get)()); },
            [](C& c, const Variant& v) { (c.*Set)(fromVariant<T>(v)); },
            nullptr};
  }

  // The same row for a property the control takes up only at its next layout (see
  // MemberInfo::takesEffectAtLayout).
  template <auto Get, auto Set>
  static Member layoutProperty(std::string_view name, DispId id, std::string_view help = {},
                               std::string_view note = {}) {
    Member row = property<Get, Set>(name, id, help, note);
    row.info.takesEffectAtLayout = true;
    return row;
  }

  template <auto Get>
  using StoredValue = typename GetterFn<decltype(Get)>::Value;

  // One bag entry under `key`, of the type getter `Get` returns: WriteProperties saves what
  // Get returns, ReadProperties hands `load` the value read.
  template <auto Get>
  static Persist stored(std::string_view key, const Variant& fallback, void (*load)(C&, StoredValue<Get>)) {
    using T = StoredValue<Get>;
    return {key, fallback, VarTypeOf<T>::value, [load](C& c, int, const Variant& v) { load(c, fromVariant<T>(v)); },
            [](C& c, int) { return Variant((c.*Get)()); }};
  }
  // The same for a key that ReadProperties reads `reads` times, handing `load` each entry's
  // number from 0; WriteProperties writes it once.
  template <auto Get>
  static Persist stored(std::string_view key, const Variant& fallback, int reads,
                        void (*load)(C&, int entry, StoredValue<Get>)) {
    using T = StoredValue<Get>;
    Persist row{key, fallback, VarTypeOf<T>::value,
                [load](C& c, int entry, const Variant& v) { load(c, entry, fromVariant<T>(v)); },
                [](C& c, int) { return Variant((c.*Get)()); }};
    row.reads = reads;
    return row;
  }

  template <auto Fn>
  static Member method(std::string_view name, DispId id, std::string_view help = {}) {
    using R = typename MethodFn<decltype(Fn)>::Result;
    using A = typename MethodFn<decltype(Fn)>::Arg;
    return {{name, MemberKind::Method, VarTypeOf<R>::value, id, help, VarTypeOf<A>::value},
            nullptr,
            nullptr,
            [](C& c, Variant& arg) -> Variant {
              A value = fromVariant<A>(arg);
              // By reference: what the method wrote reaches the caller even when it fails.
              try {
                if constexpr (std::is_void_v<R>) {
                  (c.*Fn)(value);
                  arg = Variant(value);
                  return {};
                } else {
                  Variant result((c.*Fn)(value));
                  arg = Variant(value);
                  return result;
                }
              } catch (...) {
                arg = Variant(value);
                throw;
              }
            }};
  }

  // A method row that also says what the method shows of the reading it takes.
  template <auto Fn>
  static Member feed(std::string_view name, DispId id, std::string_view help, FeedInfo shown) {
    Member row = method<Fn>(name, id, help);
    row.info.feed = std::move(shown);
    return row;
  }

  // `writeOrder` names every persist row once, by key, in the order WriteProperties
  // writes them; empty means the order of `persist`. Raises std::invalid_argument when it
  // names a key twice, misses one or names one that has no row.
  ClassTable(std::string_view className, DesignExtent extent, Presentation presentation, std::vector<Member> members,
             std::vector<EventInfo> events, std::vector<Persist> persist,
             const std::vector<std::string_view>& writeOrder = {})
      : ClassInfo(className, extent, infos(members), std::move(events), presentation),
        members_(std::move(members)),
        persist_(std::move(persist)),
        writeOrder_(rowsInOrder(persist_, writeOrder)) {}
  // The same for a class presented with no more than its name.
  ClassTable(std::string_view className, DesignExtent extent, std::vector<Member> members,
             std::vector<EventInfo> events, std::vector<Persist> persist,
             const std::vector<std::string_view>& writeOrder = {})
      : ClassTable(className, extent, Presentation{}, std::move(members), std::move(events), std::move(persist),
                   writeOrder) {}
  // The same for a class whose layout accepts any extent.
  ClassTable(std::string_view className, float width, float height, std::vector<Member> members,
             std::vector<EventInfo> events, std::vector<Persist> persist,
             const std::vector<std::string_view>& writeOrder = {})
      : ClassTable(className, DesignExtent{width, height}, std::move(members), std::move(events), std::move(persist),
                   writeOrder) {}

  Variant invoke(Control& control, int index, Invoke how, Variant* arg) const override {
    const Member& m = members_.at(index);
    C& self = static_cast<C&>(control);
    if (how == Invoke::Get) return m.get(self);
    if (how == Invoke::Put) {
      m.put(self, *arg);
      return {};
    }
    Variant none;
    return m.call(self, arg ? *arg : none);
  }

  void readProperties(Control& control, PropertyBag& bag) const override {
    C& self = static_cast<C&>(control);
    for (const Persist& row : persist_) {
      const int n = row.count ? row.count(self) : row.reads;
      for (int i = 0; i < n; ++i) {
        try {
          row.load(self, i, bag.ReadProperty(row.key, row.fallback).convertTo(row.type));
        } catch (const Error& e) {
          throw Error(e.kind(), "\"" + std::string(row.key) + "\": " + e.what());
        }
      }
    }
  }

  void writeProperties(Control& control, PropertyBag& bag) const override {
    C& self = static_cast<C&>(control);
    for (size_t index : writeOrder_) {
      const Persist& row = persist_[index];
      const int n = row.count ? row.count(self) : row.writes;
      for (int i = 0; i < n; ++i) bag.WriteProperty(row.key, row.save(self, i), row.fallback);
    }
  }

  std::vector<StoredInfo> storedReadOrder() const override {
    std::vector<StoredInfo> rows;
    for (const Persist& row : persist_) rows.push_back(stored(row));
    return rows;
  }

  std::vector<StoredInfo> storedWriteOrder() const override {
    std::vector<StoredInfo> rows;
    for (size_t index : writeOrder_) rows.push_back(stored(persist_[index]));
    return rows;
  }

 private:
  static StoredInfo stored(const Persist& row) {
    return {row.key, row.fallback, row.type, row.count ? -1 : row.reads, row.count ? -1 : row.writes, row.entries};
  }
  static std::vector<MemberInfo> infos(const std::vector<Member>& members) {
    std::vector<MemberInfo> out;
    for (const Member& m : members) out.push_back(m.info);
    return out;
  }
  static std::vector<size_t> rowsInOrder(const std::vector<Persist>& rows, const std::vector<std::string_view>& keys) {
    std::vector<size_t> order;
    if (keys.empty()) {
      for (size_t i = 0; i < rows.size(); ++i) order.push_back(i);
      return order;
    }
    if (keys.size() != rows.size())
      throw std::invalid_argument("the write order names " + std::to_string(keys.size()) + " keys for " +
                                  std::to_string(rows.size()) + " persisted rows");
    const auto free = [&](size_t i, std::string_view key) {
      return sameName(rows[i].key, key) && std::find(order.begin(), order.end(), i) == order.end();
    };
    for (std::string_view key : keys) {
      size_t i = 0;
      while (i < rows.size() && !free(i, key)) ++i;
      if (i == rows.size())
        throw std::invalid_argument("the write order names \"" + std::string(key) +
                                    "\" more often than it is persisted");
      order.push_back(i);
    }
    return order;
  }
  std::vector<Member> members_;
  std::vector<Persist> persist_;
  std::vector<size_t> writeOrder_;  // indices into persist_
};

}  // namespace kyv
