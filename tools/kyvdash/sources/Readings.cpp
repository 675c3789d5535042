#include "Readings.h"

#include <nlohmann/json.hpp>

namespace kyvdash {

void LineSplitter::feed(QByteArrayView bytes, const std::function<void(QByteArrayView)>& line) {
  while (!bytes.isEmpty()) {
    const qsizetype nl = bytes.indexOf('\n');
    const QByteArrayView piece = nl < 0 ? bytes : bytes.first(nl);
    bytes = nl < 0 ? QByteArrayView() : bytes.sliced(nl + 1);
    if (!skipping_ && partial_.size() + piece.size() > maxLine_) {
      partial_.clear();
      skipping_ = true;
      ++dropped_;
    }
    if (!skipping_) partial_.append(piece);
    if (nl < 0) return;
    if (!skipping_) {
      QByteArrayView whole(partial_);
      if (whole.endsWith('\r')) whole.chop(1);
      line(whole);
    }
    partial_.clear();
    skipping_ = false;
  }
}

void LineSplitter::finish(const std::function<void(QByteArrayView)>& line) {
  if (!skipping_ && !partial_.isEmpty()) feed("\n", line);
  clear();
}

void LineSplitter::clear() {
  partial_.clear();
  skipping_ = false;
}

bool parseLine(QByteArrayView line, std::vector<Reading>& out, QString* problem) {
  const QByteArrayView text = line.trimmed();
  if (text.isEmpty() || text.startsWith('#')) return true;
  if (text.startsWith('{')) {
    const nlohmann::json doc = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
      *problem = QStringLiteral("not a JSON object");
      return false;
    }
    for (const auto& [key, v] : doc.items()) {
      if (!v.is_number() && !v.is_boolean()) continue;
      out.push_back({QString::fromStdString(key), v.is_boolean() ? double(v.get<bool>()) : v.get<double>()});
    }
    return true;
  }
  const QList<QByteArray> words = QByteArray(text.data(), text.size()).simplified().split(' ');
  bool ok = false;
  const double value = words.size() == 2 ? words[1].toDouble(&ok) : 0;
  if (!ok) {
    *problem = QStringLiteral("not NAME VALUE");
    return false;
  }
  out.push_back({QString::fromUtf8(words[0]), value});
  return true;
}

// Cells split at the separator; a cell in double quotes may hold the separator, and "" in
// it stands for one quote.
QStringList CsvReader::cells(QByteArrayView line) const {
  const QString text = QString::fromUtf8(line);
  QStringList out;
  QString cell;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c != u'"')
        cell += c;
      else if (i + 1 < text.size() && text[i + 1] == u'"')
        cell += text[++i];
      else
        quoted = false;
    } else if (c == u'"') {
      quoted = true;
    } else if (c == separator_) {
      out << cell.trimmed();
      cell.clear();
    } else {
      cell += c;
    }
  }
  out << cell.trimmed();
  return out;
}

void CsvReader::line(QByteArrayView line, std::vector<Reading>& out) {
  if (line.trimmed().isEmpty()) return;
  if (header_.isEmpty()) {
    header_ = cells(line);
    return;
  }
  const QStringList row = cells(line);
  for (qsizetype i = 0; i < std::min(row.size(), header_.size()); ++i) {
    bool ok = false;
    const double v = row[i].toDouble(&ok);
    if (ok && !header_[i].isEmpty()) out.push_back({header_[i], v});
  }
}

}  // namespace kyvdash
