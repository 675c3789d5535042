#pragma once
// Splitting a kyvhost line into words and reading VALUE words.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kyv/variant.h"

namespace kyvhost {

struct Word {
  std::string text;
  bool quoted = false;
};

// Words separated by blanks; "..." is one word with "" standing for a quote. Returns
// nullopt and sets `error` for an unterminated string.
std::optional<std::vector<Word>> splitWords(std::string_view line, std::string& error);

// A VALUE: decimal or 0x hex integer, decimal number, True, False or a quoted string.
// Integers become Integer when they fit 16 bits, else Long (hex up to 0xFFFFFFFF keeps
// its bits), else Double.
std::optional<kyv::Variant> parseValue(const Word& word);

// A non-negative number of twips.
std::optional<float> parseTwips(const Word& word);

}  // namespace kyvhost
