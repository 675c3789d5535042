#pragma once
// Lines written to a file descriptor (standard output, standard error) without ever
// blocking the caller: a writer thread of its own takes them from a bounded queue. While
// the descriptor does not take them (a pipe nobody reads, a stalled logger), lines beyond
// the bound are dropped and counted; when it takes them again, a line says how many were.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>

namespace kyvdash {

class OutputQueue {
 public:
  // Writes to `fd`, holding at most `maxBytes` of lines not yet written.
  explicit OutputQueue(int fd, qsizetype maxBytes = 256 * 1024);
  // Waits up to `drain` for the queued lines to be written, then leaves the writer behind.
  ~OutputQueue();
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Queues `line` and a newline; drops it when the queue is full.
  void write(const QString& line);
  // Lines dropped so far.
  qint64 dropped() const;
  // Waits up to `timeout` for every queued line to be written; returns whether they were.
  bool flush(std::chrono::milliseconds timeout) const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

// The process's standard output and standard error, each through a queue of its own.
OutputQueue& standardOutput();
OutputQueue& standardError();

}  // namespace kyvdash
