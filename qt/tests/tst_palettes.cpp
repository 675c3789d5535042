// ControlWidget's colours on the offscreen platform: system colours resolve through each
// widget's own QPalette, a palette change repaints, and the global palette stays as it is.
#include <QTest>

#include "kyv/palette.h"
#include "kyv/qt/ControlWidget.h"

using kyv::Variant;
using kyvqt::ControlWidget;

namespace {

QPalette darkPalette() {
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 32), text(220, 220, 220);
  for (auto role : {QPalette::Window, QPalette::Button, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
    p.setColor(role, window);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::Light, QColor(70, 70, 74));
  p.setColor(QPalette::Midlight, QColor(60, 60, 64));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, text);
  return p;
}

QImage shown(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Pixels of `image` darker than mid grey, and lighter.
struct Tally {
  int dark = 0, light = 0;
};
// Grey pixels only: the bars' and bands' own colours are counted in neither.
Tally tally(const QImage& image, const QRect& area) {
  Tally t;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c(image.pixel(x, y));
      if (c.hsvSaturation() > 64) continue;
      (c.lightness() < 128 ? t.dark : t.light)++;
    }
  return t;
}

// The picture in device pixels of `area`, given in logical pixels.
QRect device(const QRect& area, const QImage& image) {
  const qreal r = image.devicePixelRatio();
  return QRect(QPoint(int(area.left() * r), int(area.top() * r)), QSize(int(area.width() * r), int(area.height() * r)));
}

class Exposed : public ControlWidget {
 public:
  using ControlWidget::shownColour;
};

}  // namespace

class TestPalettes : public QObject {
  Q_OBJECT

 private slots:
  void systemColoursComeFromTheirRoles() {
    QPalette p;
    p.setColor(QPalette::Button, QColor(1, 2, 3));
    p.setColor(QPalette::Base, QColor(4, 5, 6));
    p.setColor(QPalette::Text, QColor(7, 8, 9));
    p.setColor(QPalette::ButtonText, QColor(10, 11, 12));
    p.setColor(QPalette::Active, QPalette::Highlight, QColor(13, 14, 15));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(16, 17, 18));
    const kyv::Palette colours = kyvqt::systemColours(p);
    QCOMPARE(colours[15], 0x030201u);  // button face
    QCOMPARE(colours[5], 0x060504u);   // window
    QCOMPARE(colours[8], 0x090807u);   // window text
    QCOMPARE(colours[18], 0x0C0B0Au);  // button text
    QCOMPARE(colours[13], 0x0F0E0Du);  // highlight
    QCOMPARE(colours[17], 0x121110u);  // grey text
  }

  // The empty bar and its caption box (button face) and the caption (button text) follow
  // the palette; the bands' own colours stay. The widget paints what the renderer makes
  // with the widget's colours.
  void aStatusBarIsDarkUnderADarkPalette() {
    const kyv::Palette global = kyv::systemPalette();
    ControlWidget light, dark;
    dark.setPalette(darkPalette());
    for (ControlWidget* w : {&light, &dark}) {
      QVERIFY(w->create(QStringLiteral("KyvVStatus.Kyvvstat")));
      Variant reading(int16_t(30));
      w->call("incbar", reading);
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    const QImage a = shown(light), b = shown(dark);
    QCOMPARE(a.size(), b.size());
    // The empty top of the bar, inside its border.
    const QRect empty = device(QRect(5, 5, light.width() - 10, 40), a);
    QCOMPARE(tally(a, empty).dark, 0);
    QCOMPARE(tally(b, empty).light, 0);
    // The caption box: light digits on a dark box, where the default has dark on light.
    const QRect caption = device(QRect(3, light.height() - 19, light.width() - 6, 16), a);
    const Tally onLight = tally(a, caption), onDark = tally(b, caption);
    QVERIFY(onLight.dark > 0 && onLight.light > onLight.dark);
    QVERIFY(onDark.light > 0 && onDark.dark > onDark.light);
    QCOMPARE(onDark.light, onLight.dark);  // the same glyphs, in the other colour
    // The green band is the bar's own colour under either palette.
    const QPoint band(device(QRect(light.width() / 2, light.height() - 40, 1, 1), a).topLeft());
    QCOMPARE(QColor(a.pixel(band)), QColor(0, 255, 0));
    QCOMPARE(QColor(b.pixel(band)), QColor(0, 255, 0));
    QCOMPARE(kyv::systemPalette(), global);
    const QImage drawn = kyvqt::renderImage(*dark.control(), b.devicePixelRatio(), &dark.colourPalette())
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(b, drawn);
  }

  // The background and the lines over the bars (both BackColor, button face) follow the
  // palette; the red bars stay red.
  void aMultiBarIsDarkUnderADarkPalette() {
    ControlWidget light, dark;
    dark.setPalette(darkPalette());
    for (ControlWidget* w : {&light, &dark}) {
      QVERIFY(w->create(QStringLiteral("KyvMultiBars.KyvMultiBar")));
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    const QImage a = shown(light), b = shown(dark);
    const QRect inside = device(QRect(4, 4, light.width() - 8, light.height() - 8), a);
    const Tally onLight = tally(a, inside), onDark = tally(b, inside);
    QVERIFY2(onLight.light > 9 * onLight.dark,
             qPrintable(QString("%1 light, %2 dark").arg(onLight.light).arg(onLight.dark)));
    QVERIFY2(onDark.dark > 9 * onDark.light,
             qPrintable(QString("%1 light, %2 dark").arg(onDark.light).arg(onDark.dark)));
    const QPoint bar = device(QRect(10, light.height() - 6, 1, 1), a).topLeft();
    QCOMPARE(QColor(b.pixel(bar)), QColor(a.pixel(bar)));
  }

  // A new palette repaints the whole control in its colours; the old one brings the old
  // picture back.
  void aPaletteChangeRepaints() {
    ControlWidget w;
    QVERIFY(w.create(QStringLiteral("KyvHStatus.Hstat")));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage before = shown(w);
    const QPalette original = w.palette();
    w.setPalette(darkPalette());
    QCOMPARE(w.colourPalette(), kyvqt::systemColours(darkPalette()));
    QTRY_VERIFY(shown(w) != before);
    const QImage darker = shown(w);
    QVERIFY(tally(darker, darker.rect()).dark > tally(before, before.rect()).dark);
    w.setPalette(original);
    QTRY_COMPARE(shown(w), before);
  }

  // Two widgets of one class paint in their own palettes at the same time, and the helper
  // that typed widgets read colours through resolves through the same palette.
  void twoWidgetsTwoPalettes() {
    Exposed a, b;
    QPalette green;
    green.setColor(QPalette::Button, QColor(0, 90, 0));
    a.setPalette(green);
    b.setPalette(darkPalette());
    for (Exposed* w : {&a, &b}) {
      QVERIFY(w->create(QStringLiteral("KyvVStatus.Kyvvstat")));
      w->show();
    }
    QVERIFY(QTest::qWaitForWindowExposed(&a) && QTest::qWaitForWindowExposed(&b));
    const QImage x = shown(a), y = shown(b);
    const QPoint top = device(QRect(a.width() / 2, 10, 1, 1), x).topLeft();
    QCOMPARE(QColor(x.pixel(top)), QColor(0, 90, 0));
    QCOMPARE(QColor(y.pixel(top)), QColor(45, 45, 48));
    QCOMPARE(a.shownColour(kyv::Colour{0x8000000F}), QColor(0, 90, 0));
    QCOMPARE(b.shownColour(kyv::Colour{0x8000000F}), QColor(45, 45, 48));
    QCOMPARE(b.shownColour(kyv::Colour{0x00336699}), QColor(0x99, 0x66, 0x33));
    QCOMPARE(kyv::resolveColour(kyv::Colour{0x8000000F}), kyv::systemPalette()[15]);
  }
};

QTEST_MAIN(TestPalettes)
#include "tst_palettes.moc"
