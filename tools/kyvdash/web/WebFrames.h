#pragma once
// WebFrames: the dashboard's picture as browsers are sent it. A page asks for the scale its
// screen needs (device pixels a layout pixel, its pixel ratio included); the picture of
// each scale in use is kept, and at each frame, at most `fps` times a second, WebFrames
// learns what changed (paints of the dashboard's widgets, controls waiting to be painted,
// stale marks coming and going), renders only that at each scale (at the screen's own
// scale a control alone at its place is copied from its own picture; elsewhere Qt draws
// it, each control drawn whole at that scale, sharp), and sends only the tiles whose
// pixels differ from the copy, each frame once for all the pages of its scale (as several
// messages when its colours exceed 256; FrameCodec.h says how a frame is made). It renders
// nothing while no page watches.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "FrameCodec.h"

namespace kyvdash {

class Dashboard;
class Runner;

class WebFrames : public QObject {
  Q_OBJECT

 public:
  // At most this many scales are drawn at once; a page that asks for another is given the
  // nearest of those.
  static constexpr int kMaxScales = 4;
  // Scales are drawn in steps of this, from one step to kLargestScale.
  static constexpr double kScaleStep = 0.25, kLargestScale = 8;
  // No picture is drawn larger than this many pixels (a 4K screen, 32 MiB); a scale that would be is
  // lowered by steps until it is not.
  static constexpr double kMostPixels = 1 << 23;

  WebFrames(Runner& runner, int fps, QObject* parent = nullptr);
  ~WebFrames() override;

  // A page joins at the scale it asks for (its own screen's scale when nullopt): the
  // largest step no larger (at least one step, at most kLargestScale and kMostPixels), or
  // the nearest scale drawn when kMaxScales are. Returns the scale it is sent; the picture of that scale is
  // kept and drawn, rendered whole first when new, until every page that joined it left.
  double join(std::optional<double> requested);
  void leave(double scale);
  // Joins or leaves at the screen's own scale, as a page that asks for none does.
  void setActive(bool active);
  // The screen's own scale: the dashboard's device pixel ratio (--scale, a window's screen).
  double ownScale() const;

  // The screen: its size in layout pixels, the scale and size of the picture of `scale`,
  // background, title, each control's name and rectangle, the smallest text's height, and
  // the blocks it is made of, for a narrow page to lay out in a column.
  QByteArray screenMessage(double scale) const;
  // Each control's stale flag and tooltip, and the latest reports.
  QByteArray stateMessage() const;
  // The whole picture of `scale` (the screen's own when not given) as a frame of one
  // rectangle (kept until the picture changes).
  QByteArray wholeFrame(std::optional<double> scale = std::nullopt);
  // The dashboard as a PNG, as a snapshot file holds it.
  QByteArray snapshotPng();

  // A line kyvdash reports, shown on the pages' status line (the last few are kept).
  void addReport(const QString& line);

 signals:
  // A new screen (a reloaded layout): each page is to be sent its screen message and whole
  // picture again.
  void screenChanged();
  // A frame of the picture of `scale`.
  void frame(double scale, const QByteArray& message);
  void stateChanged(const QByteArray& state);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Picture;
  void attach(Dashboard* dashboard);
  void tick();
  QRegion changedSinceLastFrame();
  Picture* pictureAt(double scale) const;
  void renderInto(Picture& p, QImage& image, const QRegion& region);
  void renderWhole(Picture& p);
  // The frame of `p` for what changed in `changed` (layout pixels), sent when it has any
  // rectangle. `copied` are the pixels copyControlPictures put into its scratch.
  void sendChanges(Picture& p, const QRegion& changed, const QRegion& copied);
  // Copies into the scratch of `p` what changed of each control Qt need not draw (the
  // control alone at its place, unmarked, at the screen's own scale of one device pixel
  // a pixel, opaque) straight from the control's own picture; returns the pixels copied.
  QRegion copyControlPictures(Picture& p);
  // Whether control `index` has changes copyControlPictures may copy.
  bool copiesDirectly(int index) const;
  void differingTiles(Picture& p, const QRegion& region, std::vector<FramePart>& parts);
  // Moves the picture of each scrolled control in `region` (device pixels) as the scratch
  // shows it moved; returns the controls' rectangles moved, to be compared whole.
  QRegion findMoves(Picture& p, const QRegion& region, std::vector<FramePart>& parts);
  void checkState();

  Runner& runner_;
  QPointer<Dashboard> dashboard_;
  QTimer timer_;
  bool rendering_ = false;
  QRegion painted_;  // painted by Qt since the last frame, dashboard pixels
  std::vector<std::unique_ptr<Picture>> pictures_;
  std::optional<double> activeScale_;  // joined by setActive
  std::vector<char> stale_;            // by control, as last sent
  std::vector<char> alerting_;         // by control, as last rendered: an alert's mark comes with no damage
  std::vector<QString> tooltips_;
  std::vector<QString> labelTexts_;  // by label, as last rendered: a fed label changes no control
  std::vector<char> alone_;          // by control, no other widget overlaps it
  QStringList reports_;
};

}  // namespace kyvdash
