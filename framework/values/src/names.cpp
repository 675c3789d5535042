#include "kyv/names.h"

namespace kyv {
namespace {

char folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (folded(a[i]) != folded(b[i])) return false;
  return true;
}

std::string foldedName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = folded(c);
  return out;
}

}  // namespace kyv
