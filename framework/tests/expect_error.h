#pragma once
// The kind of kyv::Error that `f` raises; a test failure when it raises none.
#include <gtest/gtest.h>

#include <string>

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

// The message of the kyv::Error of `kind` that `f` raises; a test failure when it raises
// none or one of another kind.
template <class F>
std::string messageOf(kyv::ErrorKind kind, F&& f) {
  try {
    f();
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kind);
    return e.what();
  }
  ADD_FAILURE() << "no error raised";
  return {};
}
