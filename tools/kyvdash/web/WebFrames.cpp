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

// The device pixels of logical rectangle `r` at `scale`: every pixel it touches.
QRect toDevice(const QRect& r, double scale) {
  if (scale == 1) return r;
  const int x0 = int(std::floor(r.left() * scale + 1e-9)), y0 = int(std::floor(r.top() * scale + 1e-9));
  const int x1 = int(std::ceil((r.right() + 1) * scale - 1e-9)), y1 = int(std::ceil((r.bottom() + 1) * scale - 1e-9));
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

QRegion toDevice(const QRegion& region, double scale) {
  if (scale == 1) return region;
  std::vector<QRect> rects;
  for (const QRect& r : region) rects.push_back(toDevice(r, scale));
  return unionOf(std::move(rects));
}

QSize pictureSize(QSize logical, double scale) {
  return QSize(int(std::ceil(logical.width() * scale - 1e-9)), int(std::ceil(logical.height() * scale - 1e-9)));
}

// The step of the scales drawn at most `requested`, within the steps drawn.
double scaleStep(double requested) {
  const double steps = std::floor(requested / WebFrames::kScaleStep + 1e-6);
  return std::clamp(steps * WebFrames::kScaleStep, WebFrames::kScaleStep, WebFrames::kLargestScale);
}

QJsonObject rectObject(const QRect& r) {
  return QJsonObject{{QStringLiteral("x"), r.x()},
                     {QStringLiteral("y"), r.y()},
                     {QStringLiteral("width"), r.width()},
                     {QStringLiteral("height"), r.height()}};
}

void copyRect(QImage& to, const QImage& from, const QRect& r) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    std::memcpy(to.scanLine(y) + r.left() * 4, from.constScanLine(y) + r.left() * 4, size_t(r.width()) * 4);
}

}  // namespace

// The picture of one scale: what its pages show, and the dashboard now in what changed.
struct WebFrames::Picture {
  double scale = 1;
  int pages = 0;
  QImage image;             // what the pages show, device pixels
  QImage scratch;           // the dashboard now, in the changed region
  QByteArray whole;         // the whole picture encoded, empty when outdated
  std::vector<int> shifts;  // by control, the last it scrolled by
};

WebFrames::WebFrames(Runner& runner, int fps, QObject* parent) : QObject(parent), runner_(runner) {
  timer_.setInterval(1000 / fps);
  connect(&timer_, &QTimer::timeout, this, &WebFrames::tick);
  connect(&runner, &Runner::dashboardReplaced, this, [this](Dashboard* d) {
    attach(d);
    if (!pictures_.empty()) emit screenChanged();
  });
  connect(&runner, &Runner::report, this, &WebFrames::addReport);
  attach(runner.dashboard());
}

WebFrames::~WebFrames() = default;

double WebFrames::ownScale() const { return dashboard_ ? dashboard_->devicePixelRatioF() : 1.0; }

WebFrames::Picture* WebFrames::pictureAt(double scale) const {
  for (const auto& p : pictures_)
    if (std::abs(p->scale - scale) < 1e-9) return p.get();
  return nullptr;
}

double WebFrames::join(std::optional<double> requested) {
  double scale = requested ? scaleStep(*requested) : ownScale();
  const QSize layout = dashboard_ ? dashboard_->size() : QSize(1, 1);
  while (scale > kScaleStep && double(layout.width()) * layout.height() * scale * scale > kMostPixels)
    scale -= kScaleStep;
  Picture* p = pictureAt(scale);
  if (!p && int(pictures_.size()) >= kMaxScales)
    p = std::min_element(pictures_.begin(), pictures_.end(), [scale](const auto& a, const auto& b) {
          return std::abs(a->scale - scale) < std::abs(b->scale - scale);
        })->get();
  if (!p) {
    pictures_.push_back(std::make_unique<Picture>());
    p = pictures_.back().get();
    p->scale = scale;
    if (pictures_.size() == 1) attach(dashboard_);  // the state as it is now
    if (dashboard_) renderWhole(*p);
  }
  ++p->pages;
  if (!timer_.isActive()) timer_.start();
  return p->scale;
}

void WebFrames::leave(double scale) {
  Picture* p = pictureAt(scale);
  if (!p || --p->pages > 0) return;
  std::erase_if(pictures_, [p](const auto& q) { return q.get() == p; });
  if (pictures_.empty()) timer_.stop();
}

void WebFrames::setActive(bool active) {
  if (active && !activeScale_) activeScale_ = join(std::nullopt);
  if (active || !activeScale_) return;
  leave(*activeScale_);
  activeScale_.reset();
}

void WebFrames::attach(Dashboard* d) {
  dashboard_ = d;
  painted_ = QRegion();
  stale_.clear();
  alerting_.clear();
  tooltips_.clear();
  labelTexts_.clear();
  for (auto& p : pictures_) p->image = QImage();
  if (!d) return;
  d->installEventFilter(this);
  for (QWidget* child : d->findChildren<QWidget*>()) child->installEventFilter(this);
  stale_.assign(d->count(), 0);
  alerting_.assign(d->count(), 0);
  tooltips_.assign(d->count(), QString());
  for (int i = 0; i < d->count(); ++i) {
    stale_[i] = d->isStale(i);
    alerting_[i] = d->isAlerting(i);
    tooltips_[i] = d->control(i)->toolTip();
  }
  for (const QLabel* label : d->labels()) labelTexts_.push_back(label->text());
  std::vector<QRect> places;
  for (int i = 0; i < d->count(); ++i) places.push_back(d->control(i)->geometry());
  for (const QLabel* label : d->labels()) places.push_back(label->geometry());
  alone_.assign(d->count(), 0);
  for (int i = 0; i < d->count(); ++i) alone_[i] = !overlapsAnother(places, size_t(i));
  for (auto& p : pictures_) renderWhole(*p);
}

void WebFrames::renderWhole(Picture& p) {
  renderInto(p, p.image, QRegion(QRect(QPoint(), dashboard_->size())));
  p.scratch = p.image.copy();
  p.whole.clear();
  p.shifts.assign(dashboard_->count(), 0);
}

// Paints Qt makes of the dashboard's widgets (a window showing it) are noted; the frame
// then takes their pixels from the dashboard.
bool WebFrames::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Paint || rendering_ || pictures_.empty() || !dashboard_) return false;
  auto* w = static_cast<QWidget*>(watched);
  const QRegion region = static_cast<QPaintEvent*>(event)->region();
  painted_ += w == dashboard_ ? region : region.translated(w->mapTo(dashboard_.data(), QPoint(0, 0)));
  return false;
}

// Renders `region` (layout pixels) of the dashboard into `image` at the picture's scale:
// at another scale than the screen's own, each control is drawn whole at that scale.
void WebFrames::renderInto(Picture& p, QImage& image, const QRegion& region) {
  Dashboard& d = *dashboard_;
  const QSize size = pictureSize(d.size(), p.scale);
  if (image.size() != size) {
    image = QImage(size, QImage::Format_RGB32);
    image.fill(d.palette().color(QPalette::Window));
  }
  image.setDevicePixelRatio(p.scale);
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

QRegion WebFrames::copyControlPictures(Picture& p) {
  Dashboard& d = *dashboard_;
  const double ratio = d.devicePixelRatioF();
  if (ratio != std::floor(ratio) || p.scale != ratio) return {};
  const int k = int(ratio);
  std::vector<QRect> copied;
  for (int i = 0; i < d.count(); ++i) {
    if (!copiesDirectly(i)) continue;
    kyvqt::ControlWidget* w = d.control(i);
    QRegion repainted;
    const QImage& picture = w->upToDatePicture(&repainted);
    if (picture.isNull() || picture.devicePixelRatio() != ratio ||
        picture.format() != QImage::Format_ARGB32_Premultiplied)
      continue;
    const QRect shown = w->rect() & QRect(QPoint(), picture.size() / k) & QRect(-w->pos(), d.size());
    const QRegion copiedHere = shown.contains(repainted.boundingRect()) ? repainted : repainted & shown;
    for (const QRect& r : copiedHere)
      if (copyOpaque(p.scratch, (r.topLeft() + w->pos()) * k, picture, QRect(r.topLeft() * k, r.size() * k)))
        copied.push_back(r.translated(w->pos()));
  }
  return unionOf(std::move(copied));
}

// What may look different since the last frame: what Qt painted, the damage of each
// control with a change not yet painted, each control whose stale or alert mark came or went.
QRegion WebFrames::changedSinceLastFrame() {
  std::vector<QRect> changed(painted_.begin(), painted_.end());
  painted_ = QRegion();
  Dashboard& d = *dashboard_;
  const qreal ratio = d.devicePixelRatioF();
  for (int i = 0; i < d.count(); ++i) {
    kyvqt::ControlWidget* w = d.control(i);
    if (bool(stale_[i]) != d.isStale(i) || bool(alerting_[i]) != d.isAlerting(i)) {
      alerting_[i] = d.isAlerting(i);
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

QRegion WebFrames::findMoves(Picture& p, const QRegion& region, std::vector<FramePart>& parts) {
  Dashboard& d = *dashboard_;
  QRegion moved;
  for (int i = 0; i < d.count(); ++i) {
    const QRect area = toDevice(d.control(i)->geometry(), p.scale) & p.image.rect();
    if (!region.intersects(area)) continue;
    const int dx = leftShift(p.image, p.scratch, area, p.shifts[i]);
    if (dx == 0) continue;
    p.shifts[i] = dx;
    shiftLeft(p.image, area, dx);
    parts.push_back({QRect(area.topLeft(), QSize(area.width() - dx, area.height())), area.topLeft() + QPoint(dx, 0)});
    moved += area;
  }
  return moved;
}

// The pixels of `region` that differ in the scratch from the picture, copied into the
// picture and sent as rectangles: per tile of the grid the smallest rectangle holding its
// changes, joined with those in a row at most kJoinedGap tiles away, and with a rectangle
// of the row above of the same width.
void WebFrames::differingTiles(Picture& p, const QRegion& region, std::vector<FramePart>& out) {
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
      const QRect band = differing(p.image, p.scratch, QRect(area.left(), ty, area.width(), kTile) & area);
      if (band.isNull()) continue;
      QRect run;
      int unchanged = 0;  // tiles since the run's last change
      for (int tx = band.left() / kTile * kTile; tx <= band.right(); tx += kTile) {
        const QRect tile = QRect(tx, ty, kTile, kTile) & area;
        const QRect changed = differing(p.image, p.scratch, tile);
        if (!changed.isNull()) {
          copyRect(p.image, p.scratch, tile);
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

void WebFrames::sendChanges(Picture& p, const QRegion& changed, const QRegion& copied) {
  const QRegion drawnByQt = changed - copied;
  if (!drawnByQt.isEmpty()) renderInto(p, p.scratch, drawnByQt);
  const QRegion device = toDevice(changed + copied, p.scale) & p.image.rect();
  std::vector<FramePart> parts;
  const QRegion moved = findMoves(p, device, parts);
  differingTiles(p, device + moved, parts);
  if (parts.empty()) return;
  p.whole.clear();
  for (const QByteArray& message : encodeFrames(p.image, parts)) emit frame(p.scale, message);
}

void WebFrames::tick() {
  if (!dashboard_) return;
  for (auto& p : pictures_)
    if (p->image.isNull()) renderWhole(*p);
  const QRegion region = changedSinceLastFrame();
  if (!region.isEmpty()) {
    // The picture of the screen's own scale first: a control's picture made anew is
    // copied whole, beyond its damage, and brought up to date for the others.
    Picture* own = pictureAt(ownScale());
    const QRegion copied = own ? copyControlPictures(*own) : QRegion();
    if (own) sendChanges(*own, region, copied);
    for (auto& p : pictures_)
      if (p.get() != own) sendChanges(*p, region, {});
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
  if (!pictures_.empty() && dashboard_) emit stateChanged(stateMessage());
}

QByteArray WebFrames::wholeFrame(std::optional<double> scale) {
  if (!dashboard_) return {};
  Picture* p = pictureAt(scale.value_or(ownScale()));
  if (!p) {  // a scale no page watches: drawn for this once
    Picture once;
    once.scale = scale.value_or(ownScale());
    renderWhole(once);
    return encodeFrame(once.image, {{once.image.rect(), std::nullopt}});
  }
  if (p->image.isNull()) renderWhole(*p);
  if (p->whole.isEmpty()) p->whole = encodeFrame(p->image, {{p->image.rect(), std::nullopt}});
  return p->whole;
}

// Grabbing paints the controls' changes: the paints are noted like a window's, so that
// the next frame sends them.
QByteArray WebFrames::snapshotPng() {
  if (!dashboard_) return {};
  return pngOf(dashboard_->grab().toImage());
}

QByteArray WebFrames::screenMessage(double scale) const {
  QJsonObject screen{{QStringLiteral("type"), QStringLiteral("screen")}};
  if (!dashboard_) return QJsonDocument(screen).toJson(QJsonDocument::Compact);
  const Dashboard& d = *dashboard_;
  QJsonArray controls;
  for (int i = 0; i < d.count(); ++i) {
    QJsonObject c = rectObject(d.control(i)->geometry());
    c.insert(QStringLiteral("name"), d.control(i)->objectName());
    controls.append(c);
  }
  QJsonArray blocks;
  for (const QRect& b : d.blocks()) blocks.append(rectObject(b));
  const QSize picture = pictureSize(d.size(), scale);
  screen.insert(QStringLiteral("title"), d.layout().title);
  screen.insert(QStringLiteral("width"), d.width());
  screen.insert(QStringLiteral("height"), d.height());
  screen.insert(QStringLiteral("scale"), scale);
  screen.insert(QStringLiteral("ownScale"), ownScale());
  screen.insert(QStringLiteral("pictureWidth"), picture.width());
  screen.insert(QStringLiteral("pictureHeight"), picture.height());
  screen.insert(QStringLiteral("smallestText"), d.smallestTextHeight());
  screen.insert(QStringLiteral("background"), d.palette().color(QPalette::Window).name());
  screen.insert(QStringLiteral("controls"), controls);
  screen.insert(QStringLiteral("blocks"), blocks);
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
