#include "ShellWords.h"

#include <utility>

namespace kyvdash {
namespace {

bool blank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

}  // namespace

std::optional<QStringList> splitShellWords(const QString& text, QString* problem) {
  QStringList words;
  QString word;
  bool inWord = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (blank(c)) {
      if (inWord) words << std::exchange(word, QString());
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == u'\\') {
      if (++i == text.size()) {
        *problem = QStringLiteral("ends in a lone backslash");
        return std::nullopt;
      }
      word += text[i];
    } else if (c == u'\'') {
      const qsizetype close = text.indexOf(u'\'', i + 1);
      if (close < 0) {
        *problem = QStringLiteral("a single quote is not closed");
        return std::nullopt;
      }
      word += QStringView(text).mid(i + 1, close - i - 1);
      i = close;
    } else if (c == u'"') {
      for (++i;; ++i) {
        if (i == text.size()) {
          *problem = QStringLiteral("a double quote is not closed");
          return std::nullopt;
        }
        if (text[i] == u'"') break;
        if (text[i] == u'\\' && i + 1 < text.size() && QStringView(u"\"\\$`").contains(text[i + 1])) ++i;
        word += text[i];
      }
    } else {
      word += c;
    }
  }
  if (inWord) words << word;
  return words;
}

}  // namespace kyvdash
