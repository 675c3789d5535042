#include "FrameCodec.h"

#include <zlib.h>
#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kyvdash {
namespace {

constexpr qsizetype kMaxAtlas = qsizetype(6 + 768) + qsizetype(65535) * 65535 * 3;  // bytes

}  // namespace

QByteArray pngOf(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  writer.write(image);
  return bytes;
}

namespace {

template <class T>
void put(QByteArray& out, T value) {
  T big = qToBigEndian(value);
  out.append(reinterpret_cast<const char*>(&big), sizeof big);
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

// `parts` with each rectangle to take from the atlas that is over twice as wide as the
// square of their area cut into pieces no wider than that, so that one wide change does
// not widen the atlas for the narrow ones.
std::vector<FramePart> narrowed(const std::vector<FramePart>& parts) {
  qint64 area = 0;
  for (const auto& p : parts)
    if (!p.from) area += qint64(p.to.width()) * p.to.height();
  const int widest = std::max(1, int(2 * std::ceil(std::sqrt(double(area)))));
  std::vector<FramePart> out;
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
std::vector<std::vector<FramePart>> inFramesOfIndexes(const QImage& image, const std::vector<FramePart>& parts) {
  std::vector<std::vector<FramePart>> frames(1);
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

// The pictures of the parts not moved are packed into one atlas, deflated as a whole, so
// that a frame compresses as one.
QByteArray encodeFrame(const QImage& image, const std::vector<FramePart>& given) {
  const std::vector<FramePart> parts = narrowed(given);
  std::vector<QRect> packed;
  for (const FramePart& p : parts)
    if (!p.from) packed.push_back(p.to);
  std::vector<AtlasPlace> places;
  const QSize atlasSize = placeInAtlas(packed, places);
  QByteArray table;
  size_t next = 0;
  for (const FramePart& p : parts) {
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

std::vector<QByteArray> encodeFrames(const QImage& image, const std::vector<FramePart>& parts) {
  std::vector<QByteArray> messages;
  for (const std::vector<FramePart>& some : inFramesOfIndexes(image, parts))
    messages.push_back(encodeFrame(image, some));
  return messages;
}

QByteArray encodePng(const QImage& image) { return pngOf(fewestBytes(image)); }

bool applyFrame(QImage& picture, const QByteArray& frame, std::vector<FramePart>* partsOut) {
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

}  // namespace kyvdash
