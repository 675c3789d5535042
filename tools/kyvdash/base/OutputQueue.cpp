#include "OutputQueue.h"

#include <unistd.h>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kyvdash {

struct OutputQueue::Shared {
  int fd;
  qsizetype maxBytes;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<QByteArray> lines;
  qsizetype queuedBytes = 0;
  qint64 dropped = 0;        // in all
  qint64 droppedUnsaid = 0;  // since the last notice
  bool writing = false;      // the writer holds a line it took from the queue
  bool stop = false;

  // Writes all of `bytes`, waiting as long as the descriptor makes it; false on an error.
  bool writeAll(const QByteArray& bytes) const {
    for (qsizetype done = 0; done < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += n;
    }
    return true;
  }

  void run() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return stop || !lines.empty(); });
      if (lines.empty()) return;
      QByteArray next = std::move(lines.front());
      lines.pop_front();
      queuedBytes -= next.size();
      if (droppedUnsaid > 0 && lines.empty()) {
        next +=
            QStringLiteral("kyvdash: %1 lines of output dropped while nothing read them\n").arg(droppedUnsaid).toUtf8();
        droppedUnsaid = 0;
      }
      writing = true;
      lock.unlock();
      writeAll(next);
      lock.lock();
      writing = false;
      changed.notify_all();
    }
  }
};

OutputQueue::OutputQueue(int fd, qsizetype maxBytes) : shared_(std::make_shared<Shared>()) {
  shared_->fd = fd;
  shared_->maxBytes = maxBytes;
  std::thread([s = shared_] { s->run(); }).detach();
}

OutputQueue::~OutputQueue() {
  flush(std::chrono::milliseconds(1000));
  std::lock_guard lock(shared_->mutex);
  shared_->stop = true;
  shared_->changed.notify_all();
}

void OutputQueue::write(const QString& line) {
  QByteArray bytes = line.toLocal8Bit() + '\n';
  std::lock_guard lock(shared_->mutex);
  if (shared_->queuedBytes + bytes.size() > shared_->maxBytes) {
    ++shared_->dropped;
    ++shared_->droppedUnsaid;
    return;
  }
  shared_->queuedBytes += bytes.size();
  shared_->lines.push_back(std::move(bytes));
  shared_->changed.notify_all();
}

qint64 OutputQueue::dropped() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->dropped;
}

bool OutputQueue::flush(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, timeout, [this] { return shared_->lines.empty() && !shared_->writing; });
}

OutputQueue& standardOutput() {
  static OutputQueue out(STDOUT_FILENO);
  return out;
}

OutputQueue& standardError() {
  static OutputQueue err(STDERR_FILENO);
  return err;
}

}  // namespace kyvdash
