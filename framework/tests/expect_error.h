#pragma once
// The kind of kyv::Error that `f` raises; a test failure when it raises none.
#include <gtest/gtest.h>

#include "kyv/error.h"

template <class F>
kyv::ErrorKind kindOf(F&& f) {
  try {
    f();
  } catch (const kyv::Error& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no error raised";
  return kyv::ErrorKind::NoSuchMember;
}
