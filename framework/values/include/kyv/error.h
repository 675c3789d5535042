#pragma once
// Errors raised by elements, conversions and controls. One exception type carries a
// kind (with its classic error number) and a clear message.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "kyv/export.h"

namespace kyv {

enum class ErrorKind : int {
  Overflow = 6,
  SubscriptOutOfRange = 9,
  DivisionByZero = 11,
  TypeMismatch = 13,
  InvalidPropertyValue = 380,
  CannotCreateObject = 429,
  NoSuchMember = 438,
};

// The kind as hosts print it: "overflow", "division-by-zero", ...
KYV_API std::string_view kindName(ErrorKind kind);

class KYV_API Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message);
  ~Error() override;
  ErrorKind kind() const { return kind_; }
  int number() const { return static_cast<int>(kind_); }

 private:
  ErrorKind kind_;
};

[[noreturn]] KYV_API void raise(ErrorKind kind, const std::string& message);

// `text` as a message quotes it: in double quotes (a quote inside doubled), control bytes
// written \xNN, and cut after `limit` bytes with "..." and the full length, so that a
// message stays one short line whatever value it names.
KYV_API std::string quoteForMessage(std::string_view text, size_t limit = 64);
// A name (of a member, a class, an element) as a message shows it: as it is when it has at
// most 64 bytes and no control byte, else as quoteForMessage quotes it.
KYV_API std::string nameForMessage(std::string_view name);

}  // namespace kyv
