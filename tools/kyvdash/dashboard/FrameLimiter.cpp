#include "FrameLimiter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace kyvdash {

FrameLimiter::FrameLimiter(QWidget& window, int fps) : QObject(&window), window_(window), frameMs_(1000 / fps) {
  later_.setSingleShot(true);
  connect(&later_, &QTimer::timeout, this,
          [this] { QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority); });
  window.installEventFilter(this);
}

// An update request that comes too soon after the last frame waits for the next one; Qt
// asks for no other while one is pending, so the changes meanwhile are painted together.
bool FrameLimiter::eventFilter(QObject*, QEvent* event) {
  if (event->type() != QEvent::UpdateRequest) return false;
  if (!lastFrame_.isValid() || lastFrame_.elapsed() >= frameMs_) {
    lastFrame_.start();
    return false;
  }
  if (!later_.isActive()) later_.start(static_cast<int>(frameMs_ - lastFrame_.elapsed()));
  return true;
}

}  // namespace kyvdash
