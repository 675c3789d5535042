#include "WebFrames.h"

#include <zlib.h>
#include <QBuffer>
#include <QDateTime>
#include <QEvent>
#include <QImageWriter>
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
#include "Runner.h"
#include "ShiftDetection.h"

namespace kyvdash {
namespace {

constexpr int kTile = 8;         // pixels compared and sent together
constexpr int kJoinedGap = 2;    // unchanged tiles a rectangle spans to join changes in a row
constexpr int kKeptReports = 5;  // lines on the pages' status line
constexpr qsizetype kMaxAtlas = qsizetype(6 + 768) + qsizetype(65535) * 65535 * 3;  // bytes

QByteArray png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  writer.write(image);
  return bytes;
}

template <class T>
void put(QByteArray& out, T value) {
  T big = qToBigEndian(value);
  out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

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

// `image` as a PNG of 8-bit colour indexes when it has at most 256 colours (the same
// pixels in a quarter of the bytes), else of RGB. The colours are looked up in a small
// open-addressed table, as runs of one colour are the rule, the last colour first.
QImage fewestBytes(const QImage& image) {
  constexpr int kSlots = 1024;  // a power of two, well above 256 colours
  std::array<QRgb, kSlots> keys;
  std::array<int, kSlots> indexes;
  indexes.fill(-1);
  QList<QRgb> colours;
  QImage indexed(image.size(), QImage::Format_Indexed8);
  QRgb last = 0;
  int lastIndex = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uchar* out = indexed.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = row[x];
      if (c != last || lastIndex < 0) {
        unsigned slot = (c * 2654435761u) >> 22 & (kSlots - 1);
        while (indexes[slot] >= 0 && keys[slot] != c) slot = (slot + 1) & (kSlots - 1);
        if (indexes[slot] < 0) {
          if (colours.size() == 256) return image;
          keys[slot] = c;
          indexes[slot] = int(colours.size());
          colours.append(c);
        }
        last = c;
        lastIndex = indexes[slot];
      }
      out[x] = uchar(lastIndex);
    }
  }
  indexed.setColorTable(colours);
  return indexed;
}

// The atlas's head: its size, the count of colours and the colours, in ascending order,
// each channel as its difference from the colour before (modulo 256): neighbouring shades
// of a frame's antialiased edges then cost a few bits each once deflated.
void putAtlasHead(std::vector<uchar>& out, int width, int height, const std::vector<QRgb>& colours) {
  out.clear();
  for (int n : {width, height, int(colours.size())}) {
    out.push_back(uchar(n >> 8));
    out.push_back(uchar(n));
  }
  QRgb before = 0;
  for (QRgb c : colours) {
    out.insert(out.end(),
               {uchar(qRed(c) - qRed(before)), uchar(qGreen(c) - qGreen(before)), uchar(qBlue(c) - qBlue(before))});
    before = c;
  }
}

// Renumbers the colours of `pixels` so that `colours` are in ascending order.
void sortColours(std::vector<QRgb>& colours, std::vector<uchar>& pixels) {
  std::array<uchar, 256> order{};
  for (size_t i = 0; i < colours.size(); ++i) order[i] = uchar(i);
  std::sort(order.begin(), order.begin() + qsizetype(colours.size()),
            [&](uchar a, uchar b) { return (colours[a] & 0xffffff) < (colours[b] & 0xffffff); });
  std::array<uchar, 256> renumbered{};
  std::vector<QRgb> sorted(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    renumbered[order[i]] = uchar(i);
    sorted[i] = colours[order[i]];
  }
  for (uchar& p : pixels) p = renumbered[p];
  colours = std::move(sorted);
}

// Where each rectangle of a frame goes in its atlas.
struct AtlasPlace {
  QRect from;  // in the picture
  QPoint at;   // in the atlas
};

// Places `rects` in shelves of an atlas about as wide as it is high, the tallest first, so
// that the atlas holds little but their pixels: the bytes to deflate are those of the
// changes, not of the widest change times the height of them all. Returns the size.
QSize placeInAtlas(const std::vector<QRect>& rects, std::vector<AtlasPlace>& places) {
  qint64 area = 0;
  int widest = 0;
  for (const QRect& r : rects) {
    area += qint64(r.width()) * r.height();
    widest = std::max(widest, r.width());
  }
  const int width = std::max(widest, int(std::ceil(std::sqrt(double(area)))));
  std::vector<size_t> order(rects.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return rects[a].height() > rects[b].height(); });
  places.assign(rects.size(), {});
  int x = 0, y = 0, shelf = 0;
  for (size_t i : order) {
    const QRect& r = rects[i];
    if (x + r.width() > width) {
      x = 0;
      y += shelf;
      shelf = 0;
    }
    places[i] = {r, QPoint(x, y)};
    x += r.width();
    shelf = std::max(shelf, r.height());
  }
  return QSize(width, y + shelf);
}

void packRgb(const QImage& image, const std::vector<AtlasPlace>& places, QSize size, std::vector<uchar>& out) {
  putAtlasHead(out, size.width(), size.height(), {});
  const size_t head = out.size();
  out.resize(head + size_t(size.width()) * size_t(size.height()) * 3, 0);
  for (const AtlasPlace& p : places) {
    for (int dy = 0; dy < p.from.height(); ++dy) {
      const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(p.from.top() + dy)) + p.from.left();
      uchar* row = out.data() + head + (size_t(p.at.y() + dy) * size_t(size.width()) + size_t(p.at.x())) * 3;
      for (int x = 0; x < p.from.width(); ++x) {
        row[x * 3] = uchar(qRed(in[x]));
        row[x * 3 + 1] = uchar(qGreen(in[x]));
        row[x * 3 + 2] = uchar(qBlue(in[x]));
      }
    }
  }
}

// `size` bytes at `data` as a zlib stream. zlib's default level with its largest hash
// table, which finds the repeats of glyphs and bars a little further back; level 7 made
// frames no smaller, levels 4 and 5 a tenth larger for about the same time.
QByteArray deflated(const uchar* data, size_t size) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  QByteArray out(qsizetype(deflateBound(&z, uLong(size))), Qt::Uninitialized);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(size);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(qsizetype(z.total_out));
  deflateEnd(&z);
  return status == Z_STREAM_END ? out : QByteArray();
}

// The zlib stream `bytes` inflated; empty for a broken stream or one of over `limit` bytes.
QByteArray inflated(QByteArrayView bytes, qsizetype limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  QByteArray out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = uInt(bytes.size());
  int status = Z_OK;
  while (status == Z_OK && out.size() < limit) {
    const qsizetype had = out.size();
    out.resize(std::min(limit, std::max<qsizetype>(4096, had * 2)));
    z.next_out = reinterpret_cast<Bytef*>(out.data() + had);
    z.avail_out = uInt(out.size() - had);
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(out.size() - z.avail_out);
  }
  inflateEnd(&z);
  return status == Z_STREAM_END ? out : QByteArray();
}

// The atlas of a frame: the rectangles `places` of `image` where placeInAtlas put them, as
// bytes: the head putAtlasHead writes (size and colours) and a byte a pixel, its colour's
// index; or, with a count of 0 (over 256 colours), three bytes a pixel, red, green and
// blue. Pixels no rectangle covers are 0.
void packAtlas(const QImage& image, const std::vector<AtlasPlace>& places, QSize size, std::vector<uchar>& out) {
  constexpr int kSlots = 1024;  // a power of two, well above 256 colours
  std::array<QRgb, kSlots> keys;
  std::array<int, kSlots> indexes;
  indexes.fill(-1);
  std::vector<QRgb> colours;
  std::vector<uchar> pixels(size_t(size.width()) * size_t(size.height()), 0);
  QRgb last = 0;
  int lastIndex = -1;
  for (const AtlasPlace& p : places) {
    for (int dy = 0; dy < p.from.height(); ++dy) {
      const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(p.from.top() + dy)) + p.from.left();
      uchar* row = pixels.data() + size_t(p.at.y() + dy) * size_t(size.width()) + size_t(p.at.x());
      for (int x = 0; x < p.from.width(); ++x) {
        if (in[x] != last || lastIndex < 0) {
          unsigned slot = (in[x] * 2654435761u) >> 22 & (kSlots - 1);
          while (indexes[slot] >= 0 && keys[slot] != in[x]) slot = (slot + 1) & (kSlots - 1);
          if (indexes[slot] < 0) {
            if (colours.size() == 256) return packRgb(image, places, size, out);
            keys[slot] = in[x];
            indexes[slot] = int(colours.size());
            colours.push_back(in[x]);
          }
          last = in[x];
          lastIndex = indexes[slot];
        }
        row[x] = uchar(lastIndex);
      }
    }
  }
  sortColours(colours, pixels);
  putAtlasHead(out, size.width(), size.height(), colours);
  out.insert(out.end(), pixels.begin(), pixels.end());
}

// The atlas packAtlas made, as an RGB32 image; null when `bytes` are not one.
QImage unpackAtlas(const QByteArray& bytes) {
  const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
  if (bytes.size() < 6) return {};
  const int width = qFromBigEndian<quint16>(b), height = qFromBigEndian<quint16>(b + 2);
  const int colours = qFromBigEndian<quint16>(b + 4);
  const qsizetype pixelsAt = 6 + qsizetype(colours) * 3;
  const qsizetype pixelBytes = colours ? 1 : 3;
  if (colours > 256 || width == 0 || height == 0 || bytes.size() != pixelsAt + qsizetype(width) * height * pixelBytes)
    return {};
  std::array<QRgb, 256> palette{};
  uchar r = 0, g = 0, bl = 0;
  for (int i = 0; i < colours; ++i) {
    const uchar* d = b + 6 + i * 3;
    palette[size_t(i)] = qRgb(r += d[0], g += d[1], bl += d[2]);
  }
  QImage atlas(width, height, QImage::Format_RGB32);
  const uchar* in = b + pixelsAt;
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(atlas.scanLine(y));
    for (int x = 0; x < width; ++x, in += pixelBytes) {
      if (!colours) {
        row[x] = qRgb(in[0], in[1], in[2]);
        continue;
      }
      if (*in >= colours) return {};
      row[x] = palette[*in];
    }
  }
  return atlas;
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

// `parts` with each rectangle to take from the atlas that is over twice as wide as the
// square of their area cut into pieces no wider than that, so that one wide change does
// not widen the atlas for the narrow ones.
std::vector<WebFrames::Part> narrowed(const std::vector<WebFrames::Part>& parts) {
  qint64 area = 0;
  for (const auto& p : parts)
    if (!p.from) area += qint64(p.to.width()) * p.to.height();
  const int widest = std::max(1, int(2 * std::ceil(std::sqrt(double(area)))));
  std::vector<WebFrames::Part> out;
  out.reserve(parts.size());
  for (const auto& p : parts) {
    if (p.from || p.to.width() <= widest) {
      out.push_back(p);
      continue;
    }
    const int pieces = (p.to.width() + widest - 1) / widest;
    for (int i = 0, x = p.to.left(); i < pieces; ++i) {
      const int right = p.to.left() + int(qint64(p.to.width()) * (i + 1) / pieces);
      out.push_back({QRect(x, p.to.top(), right - x, p.to.height()), std::nullopt});
      x = right;
    }
  }
  return out;
}

// Up to 257 distinct colours, looked up in a small open-addressed table.
class Colours {
 public:
  Colours() { used_.fill(false); }
  bool contains(QRgb c) const { return used_[slotOf(c)]; }
  void add(QRgb c) {
    const unsigned slot = slotOf(c);
    if (used_[slot]) return;
    used_[slot] = true;
    keys_[slot] = c;
    list_.push_back(c);
  }
  const std::vector<QRgb>& list() const { return list_; }

 private:
  static constexpr unsigned kSlots = 1024;  // a power of two, well above 257 colours
  unsigned slotOf(QRgb c) const {
    unsigned slot = (c * 2654435761u) >> 22 & (kSlots - 1);
    while (used_[slot] && keys_[slot] != c) slot = (slot + 1) & (kSlots - 1);
    return slot;
  }
  std::array<QRgb, kSlots> keys_{};
  std::array<bool, kSlots> used_{};
  std::vector<QRgb> list_;
};

// The colours of rectangle `r` of `image`, at most 257 of them (257: more than an atlas
// of colour indexes holds).
Colours coloursOf(const QImage& image, const QRect& r) {
  Colours colours;
  QRgb last = 0;
  bool any = false;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = r.left(); x <= r.right(); ++x) {
      if (any && row[x] == last) continue;
      colours.add(row[x]);
      if (colours.list().size() > 256) return colours;
      last = row[x];
      any = true;
    }
  }
  return colours;
}

// `parts` in groups of at most 256 colours each: parts are added to a group while their
// colours fit, and start the next when they do not. The moved parts go in the first.
std::vector<std::vector<WebFrames::Part>> inFramesOfIndexes(const QImage& image,
                                                            const std::vector<WebFrames::Part>& parts) {
  std::vector<std::vector<WebFrames::Part>> frames(1);
  for (const auto& p : parts)
    if (p.from) frames.back().push_back(p);
  Colours shared;
  for (const auto& p : parts) {
    if (p.from) continue;
    const Colours own = coloursOf(image, p.to);
    size_t added = 0;
    for (QRgb c : own.list()) added += !shared.contains(c);
    if (shared.list().size() + added > 256 && !shared.list().empty()) {
      frames.emplace_back();
      shared = Colours();
    }
    for (QRgb c : own.list()) shared.add(c);
    frames.back().push_back(p);
  }
  return frames;
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

QRegion WebFrames::findMoves(const QRegion& region, std::vector<Part>& parts) {
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
void WebFrames::differingTiles(const QRegion& region, std::vector<Part>& out) {
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
    std::vector<Part> parts;
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

// The pictures of the parts not moved are packed into one atlas, deflated as a whole, so
// that a frame compresses as one.
QByteArray WebFrames::encodeFrame(const QImage& image, const std::vector<Part>& given) {
  const std::vector<Part> parts = narrowed(given);
  std::vector<QRect> packed;
  for (const Part& p : parts)
    if (!p.from) packed.push_back(p.to);
  std::vector<AtlasPlace> places;
  const QSize atlasSize = placeInAtlas(packed, places);
  QByteArray table;
  size_t next = 0;
  for (const Part& p : parts) {
    const QRect& r = p.to;
    put<quint16>(table, r.x());
    put<quint16>(table, r.y());
    put<quint16>(table, r.width());
    put<quint16>(table, r.height());
    put<quint8>(table, p.from ? 1 : 0);
    const QPoint from = p.from ? *p.from : places[next++].at;
    put<quint16>(table, from.x());
    put<quint16>(table, from.y());
  }
  const QByteArray zlibTable = deflated(reinterpret_cast<const uchar*>(table.constData()), size_t(table.size()));
  QByteArray atlas;
  if (!packed.empty()) {
    std::vector<uchar> bytes;
    packAtlas(image, places, atlasSize, bytes);
    atlas = deflated(bytes.data(), bytes.size());
  }
  QByteArray out("KYVF");
  put<quint16>(out, static_cast<quint16>(parts.size()));
  put<quint32>(out, zlibTable.size());
  out += zlibTable;
  put<quint32>(out, atlas.size());
  return out + atlas;
}

std::vector<QByteArray> WebFrames::encodeFrames(const QImage& image, const std::vector<Part>& parts) {
  std::vector<QByteArray> messages;
  for (const std::vector<Part>& some : inFramesOfIndexes(image, parts)) messages.push_back(encodeFrame(image, some));
  return messages;
}

QByteArray WebFrames::encodePng(const QImage& image) { return png(fewestBytes(image)); }

bool WebFrames::applyFrame(QImage& picture, const QByteArray& frame, std::vector<Part>* partsOut) {
  const auto* p = reinterpret_cast<const uchar*>(frame.constData());
  if (frame.size() < 10 || !frame.startsWith("KYVF")) return false;
  const int count = qFromBigEndian<quint16>(p + 4);
  const quint32 tableLength = qFromBigEndian<quint32>(p + 6);
  const qsizetype atlasAt = 10 + qsizetype(tableLength);
  if (frame.size() < atlasAt + 4) return false;
  const QByteArray table = inflated(QByteArrayView(frame).sliced(10, tableLength), qsizetype(count) * 13 + 1);
  const quint32 length = qFromBigEndian<quint32>(p + atlasAt);
  if (table.size() != count * 13 || frame.size() < atlasAt + 4 + qsizetype(length)) return false;
  const QImage atlas =
      length ? unpackAtlas(inflated(QByteArrayView(frame).sliced(atlasAt + 4, length), kMaxAtlas)) : QImage();
  if (length && atlas.isNull()) return false;
  for (int i = 0; i < count; ++i) {
    const auto* e = reinterpret_cast<const uchar*>(table.constData()) + i * 13;
    const QRect to(qFromBigEndian<quint16>(e), qFromBigEndian<quint16>(e + 2), qFromBigEndian<quint16>(e + 4),
                   qFromBigEndian<quint16>(e + 6));
    const QPoint from(qFromBigEndian<quint16>(e + 9), qFromBigEndian<quint16>(e + 11));
    const bool moved = e[8] == 1;
    if (picture.isNull()) picture = QImage(to.size(), QImage::Format_RGB32);
    const QImage& source = moved ? picture : atlas;
    if (!source.rect().contains(QRect(from, to.size())) || !picture.rect().contains(to)) return false;
    const QImage piece = source.copy(QRect(from, to.size()));
    for (int y = 0; y < to.height(); ++y)
      std::memcpy(picture.scanLine(to.y() + y) + to.x() * 4, piece.constScanLine(y), size_t(to.width()) * 4);
    if (partsOut) partsOut->push_back({to, moved ? std::optional<QPoint>(from) : std::nullopt});
  }
  return true;
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
  return png(dashboard_->grab().toImage());
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
