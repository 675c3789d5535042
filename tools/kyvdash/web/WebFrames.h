#pragma once
// WebFrames: the dashboard's picture as browsers are sent it. It keeps a copy of the
// picture, learns what changed (paints of the dashboard's widgets, controls waiting to be
// painted, stale marks coming and going), renders only that (a control alone at its place
// copied from its own picture, the rest through Qt), and sends only the tiles whose pixels
// differ from the copy, at most `fps` times a second, each frame once for all pages (as
// several messages when its colours exceed 256; FrameCodec.h says how a frame is made).
// It renders nothing while no page watches.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <vector>

#include "FrameCodec.h"

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
  // Copies into scratch_ what changed of each control Qt need not draw (the control alone
  // at its place, unmarked, at one device pixel a pixel, opaque) straight from the
  // control's own picture; returns the pixels copied.
  QRegion copyControlPictures();
  // Whether control `index` has changes copyControlPictures may copy.
  bool copiesDirectly(int index) const;
  // The picture rendered whole, and the scratch copy made equal to it.
  void renderWhole();
  void differingTiles(const QRegion& region, std::vector<FramePart>& parts);
  // Moves the picture of each scrolled control in `region` as scratch_ shows it moved;
  // returns the controls' rectangles moved, to be compared whole.
  QRegion findMoves(const QRegion& region, std::vector<FramePart>& parts);
  void checkState();

  Runner& runner_;
  QPointer<Dashboard> dashboard_;
  QTimer timer_;
  bool active_ = false;
  bool rendering_ = false;
  QRegion painted_;          // painted by Qt since the last frame, dashboard pixels
  QImage picture_;           // what the pages show
  QImage scratch_;           // the dashboard now, in the changed region
  QByteArray whole_;         // the whole picture encoded, empty when outdated
  std::vector<char> stale_;  // by control, as last sent
  std::vector<QString> tooltips_;
  std::vector<QString> labelTexts_;  // by label, as last rendered: a fed label changes no control
  std::vector<int> shifts_;          // by control, the last it scrolled by
  std::vector<char> alone_;          // by control, no other widget overlaps it
  QStringList reports_;
};

}  // namespace kyvdash
