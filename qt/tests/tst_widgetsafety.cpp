// ControlWidget when its users do what they should not: replace or destroy the control
// from the control's own event handler, make the widget larger than any picture, feed
// values that fail from a slot. None of it may crash or let an exception into Qt.
#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "kyv/elements.h"
#include "kyv/qt/ControlWidget.h"
#include "kyv/render.h"

using kyv::Variant;
using kyvqt::ControlWidget;

namespace {

const QString kMovingBar = QStringLiteral("KyvMovingBars.KyvMovingBar");
const QString kHeartBeat = QStringLiteral("KyvPulse.HeartBeat");
const QString kBar = QStringLiteral("KyvVStatus.Kyvvstat");

// Feeds the bar graph until its row is full and every new bar scrolls it.
void scroll(ControlWidget& w) {
  for (int i = 0; i < 200; ++i) {
    Variant reading(int16_t(i % 90));
    w.call("MoveBar", reading);
  }
}

// Loaded bars of the bar graph: its element array "lvl".
int bars(ControlWidget& w) {
  int n = 0;
  for (const kyv::Element* e : w.control()->UserControl().elements())
    if (e->path().rfind("lvl(", 0) == 0) ++n;
  return n;
}

// Paints the widget's top-left corner, as a paint event of an exposed part would.
QImage paintCorner(ControlWidget& w) {
  const QSize size(std::min(w.width(), 64), std::min(w.height(), 64));
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  w.render(&image, QPoint(), QRegion(QRect(QPoint(), size)));
  return image;
}

}  // namespace

class TestWidgetSafety : public QObject {
  Q_OBJECT

 private slots:
  // The handler replaces the control while the control's own MoveBar is still running:
  // the old control finishes its call and goes; the widget holds the new one.
  void aHandlerMayRecreateTheControlDuringItsCall() {
    ControlWidget w;
    QVERIFY(w.create(kMovingBar));
    scroll(w);
    const kyv::Control* old = w.control();
    const int scrolled = bars(w);
    int created = 0;
    w.setEventHandler([&](ControlWidget& self, const kyv::EventInfo&) {
      if (created++ == 0) QVERIFY(self.create(self.className()));
    });
    QSignalSpy events(&w, &ControlWidget::eventRaised);
    Variant reading(int16_t(50));
    w.call("MoveBar", reading);
    QCOMPARE(created, 1);
    QCOMPARE(events.count(), 1);
    QVERIFY(w.control() != old);
    QVERIFY(bars(w) < scrolled);
    QVERIFY(w.tryCall("MoveBar", int16_t(60)));  // the new control answers, its events heard
    QCOMPARE(events.count(), 2);
  }

  void aHandlerMayRestoreTheControlDuringItsCall() {
    ControlWidget w;
    QVERIFY(w.create(kMovingBar));
    scroll(w);
    kyv::PropertyBag bag;
    bag.WriteProperty("MaxLimit", int16_t(500));
    bool restored = false;
    w.setEventHandler([&](ControlWidget& self, const kyv::EventInfo&) {
      if (!restored) restored = self.restore(kMovingBar, bag);
    });
    QVERIFY(w.tryCall("MoveBar", int16_t(50)));
    QVERIFY(restored);
    QCOMPARE(w.get("MaxLimit"), Variant(int32_t(500)));
  }

  // The handler destroys the widget itself: the call returns, and nothing of the widget is
  // touched after.
  void aHandlerMayDestroyTheWidgetDuringACall() {
    for (const bool throwing : {false, true}) {
      auto* w = new ControlWidget;
      QVERIFY(w->create(kMovingBar));
      scroll(*w);
      QPointer<ControlWidget> alive(w);
      w->setEventHandler([](ControlWidget& self, const kyv::EventInfo&) { delete &self; });
      if (throwing) {
        Variant reading(int16_t(50));
        w->call("MoveBar", reading);
      } else {
        QVERIFY(w->tryCall("MoveBar", int16_t(50)));
      }
      QVERIFY(alive.isNull());
    }
  }

  // A widget larger than any picture paints a plain frame and says why, once; back at a
  // paintable size it paints the control again.
  void aWidgetTooLargeToPaintPaintsAFrameAndReportsIt() {
    ControlWidget w;
    QVERIFY(w.create(kHeartBeat));
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    w.resize(40000, 101);  // 32768 device pixels and more at any ratio
    paintCorner(w);
    paintCorner(w);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("Paint"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("invalid-property-value"));
    QVERIFY2(errors[0][2].toString().contains(QStringLiteral("beyond the limit of 32767 pixels a side")),
             qPrintable(errors[0][2].toString()));
    w.resize(10000, 10000);  // 10^8 device pixels and more: over the 2^26 a paint may take
    paintCorner(w);
    QCOMPARE(errors.count(), 2);
    QVERIFY(errors[1][2].toString().contains(QStringLiteral("beyond the limit of 67108864 pixels in all")));
    w.resize(300, 101);
    const QImage shown = paintCorner(w);
    QCOMPARE(errors.count(), 2);
    QCOMPARE(shown.pixel(30, 30), kyvqt::renderImage(*w.control(), w.devicePixelRatioF()).pixel(30, 30));
  }

  // The widest picture there is paints, lines across it and all.
  void aHeartBeatAtTheWidestPicturePaints() {
    ControlWidget w;
    QVERIFY(w.create(kHeartBeat));
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    const qreal ratio = w.devicePixelRatioF();
    w.resize(static_cast<int>(std::floor(kyv::kMaxPictureSide / ratio)), 101);
    for (int16_t v : {10, 80, 30}) QVERIFY(w.tryCall("Plot", v));
    const QImage corner = paintCorner(w);
    QCOMPARE(errors.count(), 0);
    QImage untouched(corner.size(), corner.format());
    untouched.fill(Qt::white);
    QVERIFY(corner != untouched);
  }

  // Fed from a timer's slot, a value the control refuses is reported, never thrown.
  void aSlotFeedsWithoutExceptions() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    bool fed = true;
    QTimer::singleShot(0, &w, [&] { fed = w.tryCall("INCBAR", 70000); });
    QTRY_COMPARE(errors.count(), 1);
    QVERIFY(!fed);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("incbar"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("overflow"));

    Variant reading(int16_t(30)), result;
    QVERIFY(w.tryCall("incbar", reading, &result));
    QCOMPARE(reading, Variant(int16_t(30)));
    QCOMPARE(result, Variant());
    QVERIFY(w.tryPut("Maxlimit", int16_t(200)));
    QCOMPARE(w.tryGet("maxlimit"), std::optional<Variant>(Variant(int16_t(200))));
    QVERIFY(!w.tryPut("Maxlimit", "many"));
    QCOMPARE(errors.last()[0].toString(), QStringLiteral("Maxlimit"));
    QCOMPARE(errors.last()[1].toString(), QStringLiteral("type-mismatch"));
    QVERIFY(!w.tryGet("Minimum"));
    QCOMPARE(errors.last()[0].toString(), QStringLiteral("Minimum"));
    QCOMPARE(errors.last()[1].toString(), QStringLiteral("no-such-member"));
    QVERIFY(!w.tryInvoke(w.bind("incbar"), kyv::Invoke::Get, nullptr));
    QCOMPARE(errors.last()[0].toString(), QStringLiteral("incbar"));
    QVERIFY(!w.tryCall("Refresh"));
    QCOMPARE(errors.count(), 5);

    ControlWidget empty;
    QSignalSpy emptyErrors(&empty, &ControlWidget::errorOccurred);
    QVERIFY(!empty.tryCall("incbar", 5));
    QCOMPARE(emptyErrors.count(), 1);
    QCOMPARE(emptyErrors[0][1].toString(), QStringLiteral("cannot-create-object"));
  }
};

QTEST_MAIN(TestWidgetSafety)
#include "tst_widgetsafety.moc"
