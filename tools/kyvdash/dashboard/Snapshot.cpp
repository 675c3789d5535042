#include "Snapshot.h"

#include <QBuffer>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>

#include "Dashboard.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/render.h"

namespace kyvdash {
namespace {

QString attr(QString s) { return s.toHtmlEscaped(); }

// One control drawn by the renderer as an SVG picture of its own, embedded whole so that
// the ids inside each picture stay apart.
QString controlImage(kyvqt::ControlWidget& w, const QTemporaryDir& dir) {
  const QString file = dir.filePath(QStringLiteral("control.svg"));
  const bool dirty = w.control()->dirty();
  kyv::RenderOptions options;
  options.palette = &w.colourPalette();  // the colours the screen shows it in
  kyv::renderToFile(*w.control(), file.toStdString(), options);
  if (dirty) w.control()->invalidate();  // the renderer marked it painted; the screen has not been
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QRect g = w.geometry();
  return QStringLiteral("<image x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" href=\"data:image/svg+xml;base64,%5\"/>\n")
      .arg(g.x())
      .arg(g.y())
      .arg(g.width())
      .arg(g.height())
      .arg(QString::fromLatin1(f.readAll().toBase64()));
}

// The mark of a control whose series an alert concerns, as the screen draws it: a frame
// of black and yellow stripes and a round "!" badge in its top right corner.
QString alertMark(const kyvqt::ControlWidget& w) {
  const QRect g = w.geometry();
  const int side = std::min(g.width(), g.height());
  const int band = std::clamp(side / 12, 3, 8), badge = std::clamp(side / 3, 14, 28);
  const double cx = g.right() + 1 - band - 1 - badge / 2.0, cy = g.top() + band + 1 + badge / 2.0;
  return QStringLiteral(
             "<g><title>%1</title><rect x=\"%2\" y=\"%3\" width=\"%4\" height=\"%5\" fill=\"none\" "
             "stroke=\"url(#alert)\" stroke-width=\"%6\"/>"
             "<circle cx=\"%7\" cy=\"%8\" r=\"%9\" fill=\"#c80000\" stroke=\"#ffffff\" stroke-width=\"2\"/>"
             "<text x=\"%7\" y=\"%8\" font-weight=\"bold\" font-size=\"%10\" fill=\"#ffffff\" "
             "text-anchor=\"middle\" dominant-baseline=\"central\">!</text></g>\n")
      .arg(attr(w.toolTip()))
      .arg(g.x() + band / 2.0)
      .arg(g.y() + band / 2.0)
      .arg(g.width() - band)
      .arg(g.height() - band)
      .arg(band)
      .arg(cx)
      .arg(cy)
      .arg(badge / 2.0)
      .arg(badge * 3 / 4);
}

// The marks of a stale control, or of one given a reading it cannot show, with its tooltip.
QString marks(const kyvqt::ControlWidget& w, bool stale, bool unshown) {
  const QRect g = w.geometry();
  QString out;
  for (const char* pattern : {stale ? "stale" : nullptr, unshown ? "unshown" : nullptr}) {
    if (!pattern) continue;
    out += QStringLiteral(
               "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"url(#%5)\"><title>%6</title></rect>\n")
               .arg(g.x())
               .arg(g.y())
               .arg(g.width())
               .arg(g.height())
               .arg(QLatin1String(pattern), attr(w.toolTip()));
  }
  return out;
}

QString label(const QLabel& l) {
  const QRect g = l.geometry();
  return QStringLiteral(
             "<text x=\"%1\" y=\"%2\" font-family=\"%3\" font-size=\"%4\" fill=\"%5\" text-anchor=\"middle\" "
             "dominant-baseline=\"central\">%6</text>\n")
      .arg(g.center().x())
      .arg(g.center().y())
      .arg(attr(l.font().family()))
      .arg(QFontInfo(l.font()).pixelSize())
      .arg(l.palette().color(QPalette::WindowText).name())
      .arg(attr(l.text()));
}

bool saveAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  try {
    kyv::writeFileAtomically(QFile::encodeName(path).toStdString(),
                             std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return true;
  } catch (const kyv::Error& e) {
    // The framework words a file it cannot write as a value it refuses; a snapshot is none.
    *error = QString::fromUtf8(e.what()).remove(QRegularExpression(QStringLiteral("^Invalid property value: ")));
    return false;
  }
}

}  // namespace

QByteArray dashboardSvg(Dashboard& d, QSize canvas) {
  const QSize size = d.size();
  const QSize shown = canvas.isValid() ? canvas : size;
  QString svg = QStringLiteral(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%5\" height=\"%6\" viewBox=\"0 0 %1 %2\">\n"
                    "<title>%3</title>\n"
                    "<defs><pattern id=\"stale\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\">"
                    "<rect width=\"8\" height=\"8\" fill=\"#808080\" fill-opacity=\"0.55\"/>"
                    "<path d=\"M0 8 L8 0\" stroke=\"#282828\" stroke-opacity=\"0.67\"/></pattern>"
                    "<pattern id=\"unshown\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\">"
                    "<path d=\"M0 8 L8 0 M0 0 L8 8\" stroke=\"#e61e1e\" stroke-opacity=\"0.86\"/></pattern>"
                    "<pattern id=\"alert\" width=\"12\" height=\"12\" patternUnits=\"userSpaceOnUse\">"
                    "<rect width=\"12\" height=\"12\" fill=\"#ffcc00\"/>"
                    "<path d=\"M-3 3 L3 -3 M0 12 L12 0 M9 15 L15 9\" stroke=\"#000000\" stroke-width=\"4\"/>"
                    "</pattern></defs>\n"
                    "<rect width=\"%1\" height=\"%2\" fill=\"%4\"/>\n")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(attr(d.layout().title))
                    .arg(d.palette().color(QPalette::Window).name())
                    .arg(shown.width())
                    .arg(shown.height());
  for (const QLabel* l : d.labels()) svg += label(*l);
  QTemporaryDir dir;
  for (int i = 0; i < d.count(); ++i) {
    kyvqt::ControlWidget& w = *d.control(i);
    if (!w.control()) continue;
    svg += controlImage(w, dir);
    svg += marks(w, d.isStale(i) || d.isDown(i), d.isUnshown(i));
    if (d.isAlerting(i)) svg += alertMark(w);
  }
  svg += QStringLiteral("</svg>\n");
  return svg.toUtf8();
}

namespace {

// The dashboard as it shows, centred on a picture of `canvas` pixels filled with its background.
QImage onCanvas(const QImage& shot, QSize canvas, const QColor& background) {
  QImage out(canvas, QImage::Format_RGB32);
  out.fill(background);
  QImage pixels = shot;
  pixels.setDevicePixelRatio(1);
  QPainter p(&out);
  p.drawImage(QPoint((canvas.width() - pixels.width()) / 2, (canvas.height() - pixels.height()) / 2), pixels);
  return out;
}

}  // namespace

bool writeSnapshot(Dashboard& d, const QString& path, QString* error, QSize canvas) {
  if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
    try {
      return saveAtomically(path, dashboardSvg(d, canvas), error);
    } catch (const kyv::Error& e) {
      *error = QStringLiteral("cannot draw the dashboard as SVG: %1").arg(QString::fromUtf8(e.what()));
      return false;
    }
  }
  if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
    *error = QStringLiteral("%1: a snapshot is a .png or .svg file").arg(path);
    return false;
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImage shot = d.grab().toImage();
  if (canvas.isValid()) shot = onCanvas(shot, canvas, d.palette().color(QPalette::Window));
  if (!shot.save(&buffer, "PNG")) {
    *error = QStringLiteral("cannot encode the dashboard as PNG");
    return false;
  }
  return saveAtomically(path, png, error);
}

}  // namespace kyvdash
