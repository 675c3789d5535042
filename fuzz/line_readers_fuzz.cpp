// Fuzzes the readers of what line sources give (standard input, followed files, command
// output): the splitter cutting a byte stream into lines, in pieces cut where the input
// says, and each line read as `NAME VALUE`, a JSON object or a CSV row. The first byte
// chooses the piece size and the CSV separator.
#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "Readings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const qsizetype piece = 1 + data[0] % 64;
  const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
  kyvdash::LineSplitter splitter(4096);
  kyvdash::CsvReader csv(QChar(u",;\t|"[data[0] % 4]));
  std::vector<kyvdash::Reading> readings;
  const auto line = [&](QByteArrayView l) {
    QString problem;
    kyvdash::parseLine(l, readings, &problem);
    csv.line(l, readings);
    readings.clear();
  };
  for (qsizetype at = 0; at < bytes.size(); at += piece)
    splitter.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)), line);
  splitter.finish(line);
  return 0;
}
