#pragma once
// Paints a window at most `fps` times a second. Controls fed a hundred times a second
// would otherwise be painted a hundred times a second; a screen watched by people needs
// far fewer frames. Updates asked for between two frames are painted together in the next.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace kyvdash {

class FrameLimiter : public QObject {
  Q_OBJECT

 public:
  FrameLimiter(QWidget& window, int fps);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  qint64 frameMs_;
  QElapsedTimer lastFrame_;
  QTimer later_;
};

}  // namespace kyvdash
