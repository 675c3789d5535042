#pragma once
// What sources produce: named readings, cut from the lines of a stream. A line of a line
// source is `NAME VALUE` or a JSON object `{"NAME": VALUE, ...}`; a followed CSV file gives
// one reading per numeric cell, named by its column's header.
#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

namespace kyvdash {

struct Reading {
  QString field;
  double value = 0;
};

// The labels of a series, by name (`instance` -> `host3`).
using Labels = std::map<QString, QString>;

// One series of a field that gives several (a query's instant vector): its labels and value.
struct Series {
  Labels labels;
  double value = 0;
};

// A reading and when it was taken, in ms since the epoch.
struct TimedReading {
  qint64 at = 0;
  double value = 0;
  bool operator==(const TimedReading&) const = default;
};

// Cuts a byte stream into lines (without their \n or \r\n). A line longer than `maxLine`
// bytes is dropped whole and counted, so that a stream without newlines cannot fill memory.
class LineSplitter {
 public:
  explicit LineSplitter(qsizetype maxLine = 1 << 20) : maxLine_(maxLine) {}
  void feed(QByteArrayView bytes, const std::function<void(QByteArrayView line)>& line);
  // The unfinished last line, if any, as a line of its own (the stream has ended).
  void finish(const std::function<void(QByteArrayView line)>& line);
  // The bytes of an unfinished last line are forgotten.
  void clear();
  bool pending() const { return !partial_.isEmpty() || skipping_; }
  int dropped() const { return dropped_; }

 private:
  qsizetype maxLine_;
  QByteArray partial_;
  bool skipping_ = false;  // inside a line already dropped
  int dropped_ = 0;
};

// Reads one line of a line source into `out`. Blank lines and lines starting with # give
// nothing. JSON members that are not numbers (or true/false, read as 1/0) are skipped.
// Returns false, with the reason in `problem`, for a line that is neither form.
bool parseLine(QByteArrayView line, std::vector<Reading>& out, QString* problem);

// The lines of a CSV file: the first is the header, each later one a row.
class CsvReader {
 public:
  explicit CsvReader(QChar separator = u',') : separator_(separator) {}
  // Reads one line: the header, or a row whose numeric cells are appended to `out`.
  void line(QByteArrayView line, std::vector<Reading>& out);
  // A new file begins: its first line is the header again.
  void reset() { header_.clear(); }
  const QStringList& header() const { return header_; }

 private:
  QStringList cells(QByteArrayView line) const;
  QChar separator_;
  QStringList header_;
};

}  // namespace kyvdash
