#pragma once
// WebFrames: the dashboard's picture as browsers are sent it. It keeps a copy of the
// picture, learns what changed (paints of the dashboard's widgets, controls waiting to be
// painted, stale marks coming and going), renders only that (a control alone at its place
// copied from its own picture, the rest through Qt), and sends only the tiles whose pixels
// differ from the copy, at most `fps` times a second, each frame once for all pages (as
// several messages when its colours exceed 256). It renders nothing while no page watches.
//
// A frame message is one binary message: "KYVF", a 16-bit count of rectangles, the 32-bit length
// of the rectangles' table and the table as a zlib stream, the 32-bit length of an atlas
// and the atlas as a zlib stream; numbers are big-endian. The table holds per rectangle
// its x, y, width and height (16 bits each), its kind (8 bits) and an x and y (16 bits
// each): kind 0 takes the rectangle's pixels from the atlas at that x and y, kind 1 from
// the picture as it is at that x and y (a control that scrolled; these come first). The
// atlas is its width, height and colour count (16 bits each), the colours in ascending
// order (red, green and blue bytes, each the difference from the colour before, modulo
// 256) and a byte a pixel, its colour's index; with no colours, RGB bytes a pixel. The
// screen and the controls' state go as JSON text.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <optional>
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

  // A rectangle of a frame: pixels `to` moved from `from`, or taken from the picture.
  struct Part {
    QRect to;
    std::optional<QPoint> from;
  };
  // The frame message of `parts`, the pixels of those not moved taken from `image`.
  static QByteArray encodeFrame(const QImage& image, const std::vector<Part>& parts);
  // The same as frame messages whose atlases hold at most 256 colours each (colour indexes
  // being a third of RGB's bytes): one unless the parts have more colours between them.
  // The moved parts come in the first; a part of over 256 colours alone makes one of RGB.
  static std::vector<QByteArray> encodeFrames(const QImage& image, const std::vector<Part>& parts);
  // `image` as a PNG, the smallest Qt writes: of 8-bit colour indexes when it has at most
  // 256 colours, else of RGB (the whole-picture baseline the frames are measured against).
  static QByteArray encodePng(const QImage& image);
  // Applies frame message `frame` to `picture` as a page does (a null picture takes the
  // size of the first rectangle, as the whole picture comes first). Returns false, with
  // `picture` partly changed, for a message that is not a frame; `parts`, when given,
  // receives the frame's rectangles.
  static bool applyFrame(QImage& picture, const QByteArray& frame, std::vector<Part>* parts = nullptr);

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
  void differingTiles(const QRegion& region, std::vector<Part>& parts);
  // Moves the picture of each scrolled control in `region` as scratch_ shows it moved;
  // returns the controls' rectangles moved, to be compared whole.
  QRegion findMoves(const QRegion& region, std::vector<Part>& parts);
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
