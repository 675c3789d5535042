#pragma once
// The four C entry points of a control library. A library lists its classes once:
//
//   KYV_CONTROL_LIBRARY(kyv::plugin<Gauge>())
//
// kyv_register_server(file) writes the library's classes into a registration file,
// kyv_unregister_server(file) removes them, kyv_get_class_object(name, &factory) hands
// out a class's factory, and kyv_can_unload_now() returns 0 when no instance lives.
// All return 0 on success and never throw.
#include <atomic>
#include <string>
#include <vector>

#include "kyv/class_info.h"
#include "kyv/export.h"
#include "kyv/registry.h"

namespace kyv::detail {
KYV_API int registerServer(const char* file, const void* anchor, const ClassFactory* const* factories, int count);
KYV_API int unregisterServer(const char* file, const void* anchor);
KYV_API int findFactory(const char* name, const ClassFactory* const* factories, int count, const ClassFactory** out);
}  // namespace kyv::detail

namespace kyv {

// Live instances of this library, for kyv_can_unload_now.
inline std::atomic<int>& libraryInstances() {
  static std::atomic<int> count{0};
  return count;
}

// The factory of control class C (C(Registry&) and C::classTable()).
template <class C>
const ClassFactory* plugin() {
  static const ClassFactory factory{&C::classTable(),
                                    [](Registry& r) -> Control* {
                                      Control* c = new C(&r);
                                      ++libraryInstances();
                                      return c;
                                    },
                                    [](Control* c) {
                                      delete c;
                                      --libraryInstances();
                                    }};
  return &factory;
}

}  // namespace kyv

#define KYV_CONTROL_LIBRARY(...)                                                                           \
  namespace {                                                                                              \
  const kyv::ClassFactory* const* kyvFactories(int& count) {                                               \
    static const kyv::ClassFactory* const list[] = {__VA_ARGS__};                                          \
    count = static_cast<int>(sizeof(list) / sizeof(list[0]));                                              \
    return list;                                                                                           \
  }                                                                                                        \
  }                                                                                                        \
  KYV_PLUGIN_API int kyv_register_server(const char* file) {                                               \
    int n = 0;                                                                                             \
    try {                                                                                                  \
      const kyv::ClassFactory* const* f = kyvFactories(n);                                                 \
      return kyv::detail::registerServer(file, reinterpret_cast<const void*>(&kyv_register_server), f, n); \
    } catch (...) {                                                                                        \
      return 1;                                                                                            \
    }                                                                                                      \
  }                                                                                                        \
  KYV_PLUGIN_API int kyv_unregister_server(const char* file) {                                             \
    return kyv::detail::unregisterServer(file, reinterpret_cast<const void*>(&kyv_unregister_server));     \
  }                                                                                                        \
  KYV_PLUGIN_API int kyv_get_class_object(const char* name, const kyv::ClassFactory** out) {               \
    int n = 0;                                                                                             \
    try {                                                                                                  \
      const kyv::ClassFactory* const* f = kyvFactories(n);                                                 \
      return kyv::detail::findFactory(name, f, n, out);                                                    \
    } catch (...) {                                                                                        \
      return 1;                                                                                            \
    }                                                                                                      \
  }                                                                                                        \
  KYV_PLUGIN_API int kyv_can_unload_now() { return kyv::libraryInstances() == 0 ? 0 : 1; }
