#include "kyv/error.h"

namespace kyv {

std::string_view kindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Overflow: return "overflow";
    case ErrorKind::SubscriptOutOfRange: return "subscript-out-of-range";
    case ErrorKind::DivisionByZero: return "division-by-zero";
    case ErrorKind::TypeMismatch: return "type-mismatch";
    case ErrorKind::InvalidPropertyValue: return "invalid-property-value";
    case ErrorKind::CannotCreateObject: return "cannot-create-object";
    case ErrorKind::NoSuchMember: return "no-such-member";
  }
  return "error";
}

Error::Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
Error::~Error() = default;

void raise(ErrorKind kind, const std::string& message) { throw Error(kind, message); }

}  // namespace kyv
