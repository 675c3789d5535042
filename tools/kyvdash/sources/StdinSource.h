#pragma once
// Standard input as a source: `NAME VALUE` lines and JSON lines, as they arrive.
#include <QObject>
#include <QSocketNotifier>

#include "Source.h"

namespace kyvdash {

// Reads a file descriptor as data arrives, without ever blocking the event loop (one read
// a wake-up, of what is there). It outlives the dashboards that come and go on a reload,
// since standard input can only be read once.
class FdReader : public QObject {
  Q_OBJECT

 public:
  explicit FdReader(int fd, QObject* parent = nullptr);
  bool closed() const { return closed_; }

 signals:
  void data(const QByteArray& bytes);
  // End of input, or a read error; nothing more comes.
  void finished(const QString& why);

 private:
  void readSome();
  int fd_;
  QSocketNotifier notifier_;
  bool closed_ = false;
};

class StdinSource : public LineSource {
  Q_OBJECT

 public:
  StdinSource(QString name, FdReader& reader, QObject* parent = nullptr);
  void start() override;

 private:
  FdReader& reader_;
};

}  // namespace kyvdash
