// The dashboard both kyvdash benchmarks run: 100 controls of five kinds in a grid of ten
// columns, each fed from standard input under the field "c<index>", and how they wait.
#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QRect>
#include <QString>
#include <QTimer>

namespace dashbench {

constexpr int kControls = 100;
constexpr int kColumns = 10;

// Runs the event loop for `ms` milliseconds: kyvdash, its pages and its feed go on meanwhile.
inline void runLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Kind {
  const char* className;
  int width, height;  // twips
  const char* properties;
};

constexpr Kind kKinds[] = {
    {"KyvVStatus.Kyvvstat", 600, 1500, "[[\"MaxThreshold\", 80]]"},
    {"KyvHStatus.Hstat", 1800, 360, "[[\"MaxThreshold\", 80]]"},
    {"Kyv4Digit.fourseg", 1800, 585, "[]"},
    {"KyvMovingBars.KyvMovingBar", 1800, 1500, "[]"},
    {"KyvPulse.HeartBeat", 1800, 1500, "[[\"HorizCount\", 100], [\"MaxLimit\", 100]]"},
};

// Control i's rectangle in pixels at 15 twips a pixel.
inline QRect controlRect(int i) {
  const Kind& k = kKinds[i % 5];
  const int left = 60 + (i % kColumns) * 1950, top = 60 + (i / kColumns) * 1650;
  return QRect(left / 15, top / 15, k.width / 15, k.height / 15);
}

inline QByteArray layoutText() {
  QByteArray controls;
  for (int i = 0; i < kControls; ++i) {
    const Kind& k = kKinds[i % 5];
    const QRect r = controlRect(i);
    controls += QStringLiteral(R"(%1{"name": "c%2", "class": "%3", "rect": [%4, %5, %6, %7], "properties": %8,
                                  "feed": {"source": "in", "field": "c%2"}})")
                    .arg(i ? "," : "")
                    .arg(i)
                    .arg(QLatin1String(k.className))
                    .arg(r.x() * 15)
                    .arg(r.y() * 15)
                    .arg(k.width)
                    .arg(k.height)
                    .arg(QLatin1String(k.properties))
                    .toUtf8();
  }
  return R"({"sources": {"in": {"type": "stdin"}}, "controls": [)" + controls + "]}";
}

// A 1920x1080 wall of `controls` controls of the five kinds in `columns` columns, each
// filling its cell less a gap of 4 pixels (small ones, as a thousand on one wall are) and
// fed under the field "c<index>" from standard input.
inline QByteArray wallLayoutText(int controls, int columns) {
  const int rows = (controls + columns - 1) / columns;
  const int cellWidth = 1920 * 15 / columns, cellHeight = 1080 * 15 / rows, gap = 60;
  QByteArray out;
  for (int i = 0; i < controls; ++i) {
    const Kind& k = kKinds[i % 5];
    out += QStringLiteral(R"(%1{"name": "c%2", "class": "%3", "rect": [%4, %5, %6, %7], "properties": %8,
                             "feed": {"source": "in", "field": "c%2"}})")
               .arg(i ? "," : "")
               .arg(i)
               .arg(QLatin1String(k.className))
               .arg(i % columns * cellWidth + gap / 2)
               .arg(i / columns * cellHeight + gap / 2)
               .arg(cellWidth - gap)
               .arg(cellHeight - gap)
               .arg(QLatin1String(k.properties))
               .toUtf8();
  }
  return R"({"size": [28800, 16200], "background": "#203040", "sources": {"in": {"type": "stdin"}}, "controls": [)" +
         out + "]}";
}

}  // namespace dashbench
