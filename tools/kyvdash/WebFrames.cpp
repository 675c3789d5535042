#include "WebFrames.h"

#include <QBuffer>
#include <QDateTime>
#include <QEvent>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPaintEvent>
#include <QtEndian>

#include "Dashboard.h"
#include "Runner.h"

namespace kyvdash {
namespace {

constexpr int kTile = 32;        // pixels compared and sent together
constexpr int kKeptReports = 5;  // lines on the pages' status line

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

bool rowsEqual(const QImage& a, const QImage& b, const QRect& r) {
  const qsizetype bytes = qsizetype(r.width()) * 4;
  for (int y = r.top(); y <= r.bottom(); ++y)
    if (std::memcmp(a.constScanLine(y) + r.left() * 4, b.constScanLine(y) + r.left() * 4, bytes) != 0) return false;
  return true;
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
  if (!d) return;
  d->installEventFilter(this);
  for (QWidget* child : d->findChildren<QWidget*>()) child->installEventFilter(this);
  stale_.assign(d->count(), 0);
  tooltips_.assign(d->count(), QString());
  for (int i = 0; i < d->count(); ++i) {
    stale_[i] = d->isStale(i);
    tooltips_[i] = d->control(i)->toolTip();
  }
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

// What may look different since the last frame: what Qt painted, each control with a
// change not yet painted, each control whose stale mark came or went.
QRegion WebFrames::changedSinceLastFrame() {
  QRegion region = painted_;
  painted_ = QRegion();
  Dashboard& d = *dashboard_;
  for (int i = 0; i < d.count(); ++i) {
    kyvqt::ControlWidget* w = d.control(i);
    if ((w->control() && w->control()->dirty()) || bool(stale_[i]) != d.isStale(i)) region += w->geometry();
  }
  return region & QRect(QPoint(), d.size());
}

// The tiles of `region` whose pixels in scratch_ differ from the picture, copied into the
// picture; runs of neighbouring tiles in a row go as one rectangle.
std::vector<QRect> WebFrames::differingTiles(const QRegion& region) {
  const QRect bounds = region.boundingRect();
  const QRect screen(QPoint(), picture_.size());
  std::vector<QRect> out;
  for (int ty = bounds.top() / kTile * kTile; ty <= bounds.bottom(); ty += kTile) {
    QRect run;
    for (int tx = bounds.left() / kTile * kTile; tx <= bounds.right(); tx += kTile) {
      const QRect tile = QRect(tx, ty, kTile, kTile) & screen;
      const bool differs = region.intersects(tile) && !rowsEqual(picture_, scratch_, tile);
      if (differs) {
        copyRect(picture_, scratch_, tile);
        run = run.isNull() ? tile : run.united(tile);
        continue;
      }
      if (!run.isNull()) out.push_back(run);
      run = QRect();
    }
    if (!run.isNull()) out.push_back(run);
  }
  return out;
}

void WebFrames::tick() {
  if (!dashboard_) return;
  if (picture_.isNull()) renderWhole();
  const QRegion region = changedSinceLastFrame();
  if (!region.isEmpty()) {
    renderInto(scratch_, region);
    const std::vector<QRect> rects = differingTiles(region);
    if (!rects.empty()) {
      whole_.clear();
      emit frame(encodeFrame(picture_, rects));
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

QByteArray WebFrames::encodeFrame(const QImage& image, const std::vector<QRect>& rects) {
  QByteArray out("KYVF");
  put<quint16>(out, static_cast<quint16>(rects.size()));
  for (const QRect& r : rects) {
    const QByteArray bytes = png(image.copy(r));
    put<quint16>(out, r.x());
    put<quint16>(out, r.y());
    put<quint16>(out, r.width());
    put<quint16>(out, r.height());
    put<quint32>(out, bytes.size());
    out += bytes;
  }
  return out;
}

QByteArray WebFrames::wholeFrame() {
  if (!dashboard_) return {};
  if (picture_.isNull()) renderWhole();
  if (whole_.isEmpty()) whole_ = encodeFrame(picture_, {picture_.rect()});
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
