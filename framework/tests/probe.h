#pragma once
// Helpers for framework tests: a bare control to own elements, and the kind of the error
// an operation raises.
#include <gtest/gtest.h>

#include <functional>

#include "kyv/class_table.h"
#include "kyv/control.h"
#include "kyv/error.h"

class Probe : public kyv::Control {
 public:
  Probe() : Control(table(), nullptr) {}
  static const kyv::ClassInfo& table() {
    static const kyv::ClassTable<Probe> t{"Test.Probe", 2000, 1000, {}, {}, {}};
    return t;
  }
};

inline kyv::ErrorKind kindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const kyv::Error& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no error raised";
  return kyv::ErrorKind::Overflow;
}
