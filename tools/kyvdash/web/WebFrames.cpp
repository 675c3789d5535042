#include "WebFrames.h"

#include <QDateTime>
#include <QEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPaintEvent>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>

#include "Dashboard.h"
#include "FrameCodec.h"
#include "Runner.h"
#include "ShiftDetection.h"

namespace kyvdash {
namespace {

constexpr int kTile = 8;         // pixels compared and sent together
constexpr int kJoinedGap = 2;    // unchanged tiles a rectangle spans to join changes in a row
constexpr int kKeptReports = 5;  // lines on the pages' status line

// The smallest rectangle of `r` holding every pixel where `a` and `b` differ; null when
// none does.
QRect differing(const QImage& a, const QImage& b, const QRect& r) {
  QRect box;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y)) + r.left();
    const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y)) + r.left();
    if (std::memcmp(pa, pb, size_t(r.width()) * 4) == 0) continue;
    int left = 0, right = r.width() - 1;
    while (pa[left] == pb[left]) ++left;
    while (pa[right] == pb[right]) --right;
    box |= QRect(r.left() + left, y, right - left + 1, 1);
  }
  return box;
}

// Whether all `count` pixels at `pixels` are opaque: their alpha bytes ANDed two pixels a
// word, four words a step.
bool allOpaque(const QRgb* pixels, int count) {
  constexpr quint64 kAlphas = 0xff000000ff000000ull;
  quint64 a = kAlphas, b = kAlphas, c = kAlphas, d = kAlphas;
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    quint64 w[4];
    std::memcpy(w, pixels + x, sizeof w);
    a &= w[0];
    b &= w[1];
    c &= w[2];
    d &= w[3];
  }
  QRgb rest = 0xff000000;
  for (; x < count; ++x) rest &= pixels[x];
  return (a & b & c & d & kAlphas) == kAlphas && qAlpha(rest) == 255;
}

// Copies rectangle `r` of `from` (ARGB32 premultiplied) to `to` (RGB32) at `at`: an opaque
// pixel is the same there. Returns false, with the pixels copied, where one is not opaque.
bool copyOpaque(QImage& to, QPoint at, const QImage& from, const QRect& r) {
  bool opaque = true;
  for (int y = 0; y < r.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(from.constScanLine(r.top() + y)) + r.left();
    std::memcpy(to.scanLine(at.y() + y) + at.x() * 4, in, size_t(r.width()) * 4);
    opaque = opaque && allOpaque(in, r.width());
  }
  return opaque;
}

// The union of `rects`, merged in pairs: adding them to a region one by one costs a pass
// over all it holds for each.
QRegion unionOf(std::vector<QRect> rects) {
  std::vector<QRegion> regions;
  regions.reserve(rects.size());
  for (const QRect& r : rects)
    if (!r.isEmpty()) regions.emplace_back(r);
  while (regions.size() > 1) {
    size_t kept = 0;
    for (size_t i = 0; i < regions.size(); i += 2)
      regions[kept++] = i + 1 < regions.size() ? regions[i].united(regions[i + 1]) : regions[i];
    regions.resize(kept);
  }
  return regions.empty() ? QRegion() : regions.front();
}

// Whether `rects[i]` overlaps another of `rects`.
bool overlapsAnother(const std::vector<QRect>& rects, size_t i) {
  for (size_t j = 0; j < rects.size(); ++j)
    if (j != i && rects[i].intersects(rects[j])) return true;
  return false;
}

void copyRect(QImage& to, const QImage& from, const QRect& r) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    std::memcpy(to.scanLine(y) + r.left() * 4, from.constScanLine(y) + r.left() * 4, size_t(r.width()) * 4);
}

}  // namespace

WebFrames::WebFrames(Runner& runner, int fps, QObject* parent) : QObject(parent), runner_(runner) {
  timer_.setInterval(1000 / fps);
  connect(&timer_, &QTimer::timeout, this, &WebFrames::tick);
  connect(&runner, &Runner::dashboardReplaced, this, [this](Dashboard* d) {
    attach(d);
    if (!active_) return;
    emit screenChanged(screenMessage());
    emit frame(wholeFrame());
    emit stateChanged(stateMessage());
  });
  connect(&runner, &Runner::report, this, &WebFrames::addReport);
  attach(runner.dashboard());
}

void WebFrames::attach(Dashboard* d) {
  dashboard_ = d;
  picture_ = QImage();
  whole_.clear();
  painted_ = QRegion();
  stale_.clear();
  tooltips_.clear();
  labelTexts_.clear();
  if (!d) return;
  d->installEventFilter(this);
  for (QWidget* child : d->findChildren<QWidget*>()) child->installEventFilter(this);
  stale_.assign(d->count(), 0);
  shifts_.assign(d->count(), 0);
  tooltips_.assign(d->count(), QString());
  for (int i = 0; i < d->count(); ++i) {
    stale_[i] = d->isStale(i);
    tooltips_[i] = d->control(i)->toolTip();
  }
  for (const QLabel* label : d->labels()) labelTexts_.push_back(label->text());
  std::vector<QRect> places;
  for (int i = 0; i < d->count(); ++i) places.push_back(d->control(i)->geometry());
  for (const QLabel* label : d->labels()) places.push_back(label->geometry());
  alone_.assign(d->count(), 0);
  for (int i = 0; i < d->count(); ++i) alone_[i] = !overlapsAnother(places, size_t(i));
  if (active_) renderWhole();
}

void WebFrames::renderWhole() {
  renderInto(picture_, QRegion(QRect(QPoint(), dashboard_->size())));
  scratch_ = picture_.copy();
  whole_.clear();
}

void WebFrames::setActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (!active) {
    timer_.stop();
    return;
  }
  attach(dashboard_);
  timer_.start();
}

// Paints Qt makes of the dashboard's widgets (a window showing it) are noted; the frame
// then takes their pixels from the dashboard.
bool WebFrames::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Paint || rendering_ || !active_ || !dashboard_) return false;
  auto* w = static_cast<QWidget*>(watched);
  const QRegion region = static_cast<QPaintEvent*>(event)->region();
  painted_ += w == dashboard_ ? region : region.translated(w->mapTo(dashboard_.data(), QPoint(0, 0)));
  return false;
}

void WebFrames::renderInto(QImage& image, const QRegion& region) {
  Dashboard& d = *dashboard_;
  if (image.size() != d.size()) {
    image = QImage(d.size(), QImage::Format_RGB32);
    image.fill(d.palette().color(QPalette::Window));
  }
  rendering_ = true;
  d.render(&image, region.boundingRect().topLeft(), region, QWidget::DrawWindowBackground | QWidget::DrawChildren);
  rendering_ = false;
}

bool WebFrames::copiesDirectly(int i) const {
  const Dashboard& d = *dashboard_;
  const kyvqt::ControlWidget* w = d.control(i);
  return alone_[i] && !d.isMarked(i) && bool(stale_[i]) == d.isStale(i) && w->control() && w->control()->dirty() &&
         !w->isHidden();
}

QRegion WebFrames::copyControlPictures() {
  Dashboard& d = *dashboard_;
  if (d.devicePixelRatioF() != 1.0) return {};
  std::vector<QRect> copied;
  for (int i = 0; i < d.count(); ++i) {
    if (!copiesDirectly(i)) continue;
    kyvqt::ControlWidget* w = d.control(i);
    QRegion repainted;
    const QImage& picture = w->upToDatePicture(&repainted);
    if (picture.isNull() || picture.devicePixelRatio() != 1.0 ||
        picture.format() != QImage::Format_ARGB32_Premultiplied)
      continue;
    const QRect shown = picture.rect() & w->rect() & QRect(-w->pos(), scratch_.size());
    const QRegion copiedHere = shown.contains(repainted.boundingRect()) ? repainted : repainted & shown;
    for (const QRect& r : copiedHere)
      if (copyOpaque(scratch_, r.topLeft() + w->pos(), picture, r)) copied.push_back(r.translated(w->pos()));
  }
  return unionOf(std::move(copied));
}

// What may look different since the last frame: what Qt painted, the damage of each
// control with a change not yet painted, each control whose stale mark came or went.
QRegion WebFrames::changedSinceLastFrame() {
  std::vector<QRect> changed(painted_.begin(), painted_.end());
  painted_ = QRegion();
  Dashboard& d = *dashboard_;
  const qreal ratio = d.devicePixelRatioF();
  for (int i = 0; i < d.count(); ++i) {
    kyvqt::ControlWidget* w = d.control(i);
    if (bool(stale_[i]) != d.isStale(i)) {
      changed.push_back(w->geometry());
      continue;
    }
    if (!w->control() || !w->control()->dirty()) continue;
    const kyv::Region& damage = w->control()->damage();
    if (damage.isEverything()) {
      changed.push_back(w->geometry());
      continue;
    }
    for (const kyv::PixelRect& r : damage.rects()) {
      const int x0 = int(std::floor(r.x0 / ratio)), y0 = int(std::floor(r.y0 / ratio));
      const int x1 = int(std::ceil(r.x1 / ratio)), y1 = int(std::ceil(r.y1 / ratio));
      changed.push_back(QRect(x0, y0, x1 - x0, y1 - y0).translated(w->pos()) & w->geometry());
    }
  }
  // A hidden screen gets no paint events, so a label whose text a reading changed is
  // found by its text.
  for (size_t i = 0; i < d.labels().size(); ++i) {
    const QLabel* label = d.labels()[i];
    if (label->text() == labelTexts_[i]) continue;
    labelTexts_[i] = label->text();
    changed.push_back(label->geometry());
  }
  return unionOf(std::move(changed)) & QRect(QPoint(), d.size());
}

QRegion WebFrames::findMoves(const QRegion& region, std::vector<FramePart>& parts) {
  Dashboard& d = *dashboard_;
  QRegion moved;
  for (int i = 0; i < d.count(); ++i) {
    const QRect area = d.control(i)->geometry() & picture_.rect();
    if (!region.intersects(area)) continue;
    const int dx = leftShift(picture_, scratch_, area, shifts_[i]);
    if (dx == 0) continue;
    shifts_[i] = dx;
    shiftLeft(picture_, area, dx);
    parts.push_back({QRect(area.topLeft(), QSize(area.width() - dx, area.height())), area.topLeft() + QPoint(dx, 0)});
    moved += area;
  }
  return moved;
}

// The pixels of `region` that differ in scratch_ from the picture, copied into the
// picture and sent as rectangles: per tile of the grid the smallest rectangle holding its
// changes, joined with those in a row at most kJoinedGap tiles away, and with a rectangle
// of the row above of the same width.
void WebFrames::differingTiles(const QRegion& region, std::vector<FramePart>& out) {
  const size_t firstTile = out.size();
  const auto add = [&](const QRect& run) {
    for (size_t i = firstTile; i < out.size(); ++i) {
      QRect& above = out[i].to;
      if (above.left() == run.left() && above.right() == run.right() && above.bottom() + 1 >= run.top()) {
        above |= run;
        return;
      }
    }
    out.push_back({run, std::nullopt});
  };
  for (const QRect& area : region) {
    for (int ty = area.top() / kTile * kTile; ty <= area.bottom(); ty += kTile) {
      // Only the tiles of the band's changes are looked at.
      const QRect band = differing(picture_, scratch_, QRect(area.left(), ty, area.width(), kTile) & area);
      if (band.isNull()) continue;
      QRect run;
      int unchanged = 0;  // tiles since the run's last change
      for (int tx = band.left() / kTile * kTile; tx <= band.right(); tx += kTile) {
        const QRect tile = QRect(tx, ty, kTile, kTile) & area;
        const QRect changed = differing(picture_, scratch_, tile);
        if (!changed.isNull()) {
          copyRect(picture_, scratch_, tile);
          run |= changed;
          unchanged = 0;
          continue;
        }
        if (run.isNull() || ++unchanged <= kJoinedGap) continue;
        add(run);
        run = QRect();
      }
      if (!run.isNull()) add(run);
    }
  }
}

void WebFrames::tick() {
  if (!dashboard_) return;
  if (picture_.isNull()) renderWhole();
  const QRegion region = changedSinceLastFrame();
  if (!region.isEmpty()) {
    // A control's picture made anew is copied whole, beyond its damage.
    const QRegion copied = copyControlPictures();
    const QRegion drawnByQt = region - copied;
    if (!drawnByQt.isEmpty()) renderInto(scratch_, drawnByQt);
    const QRegion changed = region + copied;
    std::vector<FramePart> parts;
    const QRegion moved = findMoves(changed, parts);
    differingTiles(changed + moved, parts);
    if (!parts.empty()) {
      whole_.clear();
      for (const QByteArray& message : encodeFrames(picture_, parts)) emit frame(message);
    }
  }
  checkState();
}

void WebFrames::checkState() {
  Dashboard& d = *dashboard_;
  bool changed = false;
  for (int i = 0; i < d.count(); ++i) {
    const bool stale = d.isStale(i);
    const QString& tip = d.control(i)->toolTip();
    if (bool(stale_[i]) == stale && tooltips_[i] == tip) continue;
    stale_[i] = stale;
    tooltips_[i] = tip;
    changed = true;
  }
  if (changed) emit stateChanged(stateMessage());
}

void WebFrames::addReport(const QString& line) {
  reports_ << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) + line;
  while (reports_.size() > kKeptReports) reports_.removeFirst();
  if (active_ && dashboard_) emit stateChanged(stateMessage());
}

QByteArray WebFrames::wholeFrame() {
  if (!dashboard_) return {};
  if (picture_.isNull()) renderWhole();
  if (whole_.isEmpty()) whole_ = encodeFrame(picture_, {{picture_.rect(), std::nullopt}});
  return whole_;
}

// Grabbing paints the controls' changes: the paints are noted like a window's, so that
// the next frame sends them.
QByteArray WebFrames::snapshotPng() {
  if (!dashboard_) return {};
  return pngOf(dashboard_->grab().toImage());
}

QByteArray WebFrames::screenMessage() const {
  QJsonObject screen{{QStringLiteral("type"), QStringLiteral("screen")}};
  if (!dashboard_) return QJsonDocument(screen).toJson(QJsonDocument::Compact);
  const Dashboard& d = *dashboard_;
  QJsonArray controls;
  for (int i = 0; i < d.count(); ++i) {
    const QRect g = d.control(i)->geometry();
    controls.append(QJsonObject{{QStringLiteral("name"), d.control(i)->objectName()},
                                {QStringLiteral("x"), g.x()},
                                {QStringLiteral("y"), g.y()},
                                {QStringLiteral("width"), g.width()},
                                {QStringLiteral("height"), g.height()}});
  }
  screen.insert(QStringLiteral("title"), d.layout().title);
  screen.insert(QStringLiteral("width"), d.width());
  screen.insert(QStringLiteral("height"), d.height());
  screen.insert(QStringLiteral("background"), d.palette().color(QPalette::Window).name());
  screen.insert(QStringLiteral("controls"), controls);
  return QJsonDocument(screen).toJson(QJsonDocument::Compact);
}

QByteArray WebFrames::stateMessage() const {
  QJsonArray controls;
  for (size_t i = 0; i < stale_.size(); ++i)
    controls.append(QJsonObject{{QStringLiteral("stale"), bool(stale_[i])}, {QStringLiteral("tooltip"), tooltips_[i]}});
  return QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("state")},
                                   {QStringLiteral("controls"), controls},
                                   {QStringLiteral("reports"), QJsonArray::fromStringList(reports_)}})
      .toJson(QJsonDocument::Compact);
}

}  // namespace kyvdash
