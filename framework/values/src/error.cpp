#include "kyv/error.h"

#include <algorithm>
#include <cstdio>

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

std::string quoteForMessage(std::string_view text, size_t limit) {
  size_t shown = std::min(text.size(), limit);
  // Never ends inside a UTF-8 sequence: continuation bytes go with the cut.
  if (shown < text.size())
    while (shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  std::string out = "\"";
  for (const char c : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
      continue;
    }
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  if (shown < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

std::string nameForMessage(std::string_view name) {
  const bool plain = name.size() <= 64 && std::none_of(name.begin(), name.end(), [](char c) {
                       return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
                     });
  return plain ? std::string(name) : quoteForMessage(name);
}

}  // namespace kyv
