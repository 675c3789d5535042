#include "words.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "kyv/bag.h"

namespace kyvhost {

std::optional<std::vector<Word>> splitWords(std::string_view line, std::string& error) {
  std::vector<Word> words;
  size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (i < line.size()) {
    if (blank(line[i])) {
      ++i;
      continue;
    }
    Word w;
    if (line[i] == '"') {
      w.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            w.text += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        w.text += line[i++];
      }
      if (!closed) {
        error = "unterminated string";
        return std::nullopt;
      }
    } else {
      while (i < line.size() && !blank(line[i])) w.text += line[i++];
    }
    words.push_back(std::move(w));
  }
  return words;
}

std::optional<kyv::Variant> parseValue(const Word& word) {
  if (word.quoted) return kyv::Variant(word.text);
  const std::string& t = word.text;
  if (kyv::sameName(t, "True")) return kyv::Variant(true);
  if (kyv::sameName(t, "False")) return kyv::Variant(false);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(t.data() + 2, t.data() + t.size(), v, 16);
    if (ec != std::errc() || p != t.data() + t.size() || v > 0xFFFFFFFFu) return std::nullopt;
    if (v <= 0x7FFF) return kyv::Variant(static_cast<int16_t>(v));
    return kyv::Variant(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  int64_t i = 0;
  auto [ip, iec] = std::from_chars(t.data(), t.data() + t.size(), i);
  if (iec == std::errc() && ip == t.data() + t.size()) {
    if (i >= INT16_MIN && i <= INT16_MAX) return kyv::Variant(static_cast<int16_t>(i));
    if (i >= INT32_MIN && i <= INT32_MAX) return kyv::Variant(static_cast<int32_t>(i));
    return kyv::Variant(static_cast<double>(i));
  }
  double d = 0;
  auto [dp, dec] = std::from_chars(t.data(), t.data() + t.size(), d);
  if (dec == std::errc() && dp == t.data() + t.size() && std::isfinite(d)) return kyv::Variant(d);
  return std::nullopt;
}

std::optional<float> parseTwips(const Word& word) {
  if (word.quoted) return std::nullopt;
  double d = 0;
  const std::string& t = word.text;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
  if (ec != std::errc() || p != t.data() + t.size() || !std::isfinite(d) || d < 0 || d > 1e7) return std::nullopt;
  return static_cast<float>(d);
}

}  // namespace kyvhost
