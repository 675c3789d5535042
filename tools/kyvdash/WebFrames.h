#pragma once
// WebFrames: the dashboard's picture as browsers are sent it. It keeps a copy of the
// picture, learns what changed (paints of the dashboard's widgets, controls waiting to be
// painted, stale marks coming and going), renders only that, and sends only the tiles
// whose pixels differ from the copy, at most `fps` times a second, each frame once for all
// pages. It renders nothing while no page watches.
//
// A frame is one binary message: "KYVF", a 16-bit count, then per rectangle its x, y,
// width, height (16 bits each), the length of its PNG (32 bits), and the PNG; all numbers
// big-endian. The screen and the controls' state go as JSON text.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <vector>

namespace kyvdash {

class Dashboard;
class Runner;

class WebFrames : public QObject {
  Q_OBJECT

 public:
  WebFrames(Runner& runner, int fps, QObject* parent = nullptr);

  // While active, frames are rendered and sent; when it becomes active the picture is
  // rendered whole first.
  void setActive(bool active);

  // The screen: its size, background, title, and each control's name and rectangle.
  QByteArray screenMessage() const;
  // Each control's stale flag and tooltip, and the latest reports.
  QByteArray stateMessage() const;
  // The whole picture as a frame of one rectangle (kept until the picture changes).
  QByteArray wholeFrame();
  // The dashboard as a PNG, as a snapshot file holds it.
  QByteArray snapshotPng();

  // A line kyvdash reports, shown on the pages' status line (the last few are kept).
  void addReport(const QString& line);

  // The frame message of `rects` of `image`.
  static QByteArray encodeFrame(const QImage& image, const std::vector<QRect>& rects);

 signals:
  // A new screen (a reloaded layout): its message; the whole picture follows as a frame.
  void screenChanged(const QByteArray& screen);
  void frame(const QByteArray& message);
  void stateChanged(const QByteArray& state);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void attach(Dashboard* dashboard);
  void tick();
  QRegion changedSinceLastFrame();
  void renderInto(QImage& image, const QRegion& region);
  // The picture rendered whole, and the scratch copy made equal to it.
  void renderWhole();
  std::vector<QRect> differingTiles(const QRegion& region);
  void checkState();

  Runner& runner_;
  QPointer<Dashboard> dashboard_;
  QTimer timer_;
  bool active_ = false;
  bool rendering_ = false;
  QRegion painted_;                 // painted by Qt since the last frame, dashboard pixels
  QImage picture_;                  // what the pages show
  QImage scratch_;                  // the dashboard now, in the changed region
  QByteArray whole_;                // the whole picture encoded, empty when outdated
  std::vector<char> stale_;         // by control, as last sent
  std::vector<QString> tooltips_;
  QStringList reports_;
};

}  // namespace kyvdash
