// ControlWidget on the offscreen platform, hosting the vertical status bar by class name.
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>

#include "kyv/elements.h"
#include "kyv/qt/ControlWidget.h"

using kyv::Variant;
using kyvqt::ControlWidget;

namespace {

const QString kBar = QStringLiteral("KyvVStatus.Kyvvstat");

const kyv::Element* element(ControlWidget& w, std::string_view path) {
  for (const kyv::Element* e : w.control()->UserControl().elements())
    if (e->path() == path) return e;
  return nullptr;
}

float heightOf(ControlWidget& w, std::string_view path) {
  return static_cast<const kyv::RectElement*>(element(w, path))->heightTwips();
}

kyv::ErrorKind kindOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const kyv::Error& e) {
    return e.kind();
  }
  return kyv::ErrorKind{};
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Keeps the region of the last paint event a widget receives.
struct PaintRegion : QObject {
  QRegion region;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) region = static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

// Makes `w` a vertical bar given `value`, shown; false when it cannot.
bool showBar(kyvqt::ControlWidget& w, int16_t value) {
  if (!w.create(kBar)) return false;
  kyv::Variant reading(value);
  w.call("incbar", reading);
  w.show();
  return QTest::qWaitForWindowExposed(&w);
}

int pixelsIn(const QRegion& region) {
  int n = 0;
  for (const QRect& r : region) n += r.width() * r.height();
  return n;
}

}  // namespace

class TestControlWidget : public QObject {
  Q_OBJECT

 private slots:
  void createsAtTheClassExtentAndInitialises() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    QCOMPARE(w.size(), QSize(31, 236));  // 465 x 3540 twips
    QCOMPARE(w.get("Maxlimit"), Variant(int16_t(100)));
    QCOMPARE(heightOf(w, "holdbar"), 3540.0f - 330.0f);
  }

  void createsAtTheWidgetSizeWhenItHasOne() {
    ControlWidget w;
    w.resize(40, 100);
    QVERIFY(w.create(kBar));
    QCOMPARE(w.extent(), QSizeF(600, 1500));
    QCOMPARE(heightOf(w, "holdbar"), 1500.0f - 330.0f);
  }

  void restoresAFormEntryAtItsExtent() {
    kyv::FormControl entry;
    entry.name = "Kyvvstat1";
    entry.className = kBar.toStdString();
    entry.width = 405;
    entry.height = 4260;
    entry.properties.WriteProperty("captionvisible", false);
    entry.properties.WriteProperty("fillcolor", int32_t(0x80FF));
    ControlWidget w;
    QSignalSpy changed(&w, &ControlWidget::propertyChanged);
    QVERIFY(w.restore(entry));
    QCOMPARE(w.size(), QSize(27, 284));
    QCOMPARE(w.get("CaptionVisible"), Variant(false));
    QCOMPARE(w.get("FillColor"), Variant(kyv::Colour{0x80FF}));
    QCOMPARE(heightOf(w, "holdbar"), 4260.0f - 330.0f);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(entry.properties.ReadProperty("fillcolor"), Variant(int32_t(0x80FF)));
  }

  void aFailedReadStillLaysOut() {
    kyv::PropertyBag bag;
    bag.WriteProperty("BorderStyle", int16_t(0));
    bag.WriteProperty("Maxlimit", "lots");
    ControlWidget w;
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    QVERIFY(w.restore(kBar, bag));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("ReadProperties"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("type-mismatch"));
    QCOMPARE(w.get("BorderStyle"), Variant(int16_t(0)));
    QCOMPARE(heightOf(w, "holdbar"), 3540.0f - 330.0f);
  }

  void anUnknownClassIsReportedAndEveryCallRaisesIt() {
    ControlWidget w;
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    QVERIFY(!w.create(QStringLiteral("KyvNowhere.Gauge")));
    QVERIFY(!w.control());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("Create"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("cannot-create-object"));
    QVERIFY(errors[0][2].toString().contains(QStringLiteral("KyvNowhere.Gauge")));
    QCOMPARE(kindOf([&] { w.get("Maxlimit"); }), kyv::ErrorKind::CannotCreateObject);
    QCOMPARE(kindOf([&] { w.put("Maxlimit", int16_t(1)); }), kyv::ErrorKind::CannotCreateObject);
    w.resize(50, 50);
    // In place of the control's picture, a frame in the palette's mid colour.
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixel(0, 0), w.palette().color(QPalette::Mid).rgb());
  }

  void bindsMembersByNameAndId() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    QCOMPARE(w.bind("MAXLIMIT"), w.bind(kyv::DispId(0x68030001)));
    QCOMPARE(kindOf([&] { w.bind("Minimum"); }), kyv::ErrorKind::NoSuchMember);
    QCOMPARE(kindOf([&] { w.bind(kyv::DispId(0x68030077)); }), kyv::ErrorKind::NoSuchMember);
    QCOMPARE(kindOf([&] { w.call("Maxlimit"); }), kyv::ErrorKind::NoSuchMember);
    QCOMPARE(kindOf([&] { w.get("incbar"); }), kyv::ErrorKind::NoSuchMember);
    w.put("maxlimit", int16_t(0));
    Variant reading(int16_t(5));
    QCOMPARE(kindOf([&] { w.call("incbar", reading); }), kyv::ErrorKind::DivisionByZero);
    const int maxlimit = w.bind("Maxlimit");
    Variant fifty(int16_t(50));
    w.invoke(maxlimit, kyv::Invoke::Put, &fifty);
    QCOMPARE(w.invoke(maxlimit, kyv::Invoke::Get, nullptr), fifty);
    QCOMPARE(w.saveProperties().ReadProperty("Maxlimit"), fifty);
  }

  void forwardsEventsAndNotifications() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    QSignalSpy events(&w, &ControlWidget::eventRaised);
    QSignalSpy changed(&w, &ControlWidget::propertyChanged);
    w.put("MaxThreshold", int16_t(30));
    Variant reading(int16_t(31));
    w.call("incbar", reading);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toString(), QStringLiteral("MaxThreshold"));
    QCOMPARE(events.count(), 1);
    QCOMPARE(events[0][0].toString(), QStringLiteral("MaxThreshReached"));
    QCOMPARE(events[0][1].toInt(), 2);
  }

  void theEventHandlerMayReenterAndItsErrorsStayOutsideTheControl() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    QStringList order;
    w.setEventHandler([&](ControlWidget& self, const kyv::EventInfo& e) {
      order << QString::fromUtf8(e.name.data(), qsizetype(e.name.size()));
      if (e.number != 2) return;
      Variant zero(int16_t(0));
      self.call("incbar", zero);
      self.put("Maxlimit", int16_t(-1));  // raises nothing itself
      kyv::raise(kyv::ErrorKind::Overflow, "Overflow: handler gave up");
    });
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    QSignalSpy events(&w, &ControlWidget::eventRaised);
    Variant reading(int16_t(70));
    w.call("incbar", reading);  // returns normally
    QCOMPARE(order, QStringList({"MaxThreshReached", "MinThreshReached"}));
    QCOMPARE(events.count(), 2);
    QCOMPARE(events[0][0].toString(), QStringLiteral("MinThreshReached"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("MaxThreshReached"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("overflow"));
    QCOMPARE(w.get("Maxlimit"), Variant(int16_t(-1)));
  }

  void resizingLaysOutAgainAndReportsAFailedLayout() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    w.show();  // a hidden widget hears of its new size when it is shown
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy errors(&w, &ControlWidget::errorOccurred);
    w.resize(40, 100);
    QCOMPARE(heightOf(w, "holdbar"), 1500.0f - 330.0f);
    QCOMPARE(errors.count(), 0);
    w.resize(40, 10);  // shorter than the caption box
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0].toString(), QStringLiteral("Resize"));
    QCOMPARE(errors[0][1].toString(), QStringLiteral("invalid-property-value"));
  }

  void coalescesRepaintRequests() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    PaintCounter counter;
    w.installEventFilter(&counter);
    for (int16_t v : {10, 20, 50, 60}) {
      Variant reading(v);
      w.call("incbar", reading);
    }
    w.put("BackColor", kyv::Colour{0xFFFF00});
    QTRY_COMPARE(counter.paints, 1);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 1);
    QVERIFY(!w.control()->dirty());
  }

  // What the widget shows is the renderer's picture at the screen's pixel ratio; at twice
  // the ratio every pixel becomes a sharp 2 x 2 block.
  void paintsWhatTheRendererMakesAtTheDevicePixelRatio() {
    ControlWidget w;
    QVERIFY(w.create(kBar));
    w.put("CaptionVisible", false);
    w.put("Bar3D", int16_t(1));
    Variant reading(int16_t(30));
    w.call("incbar", reading);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qreal ratio = w.devicePixelRatioF();
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
      QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    QCOMPARE(shown.size(), w.size() * ratio);
    const QImage drawn = kyvqt::renderImage(*w.control(), ratio, &w.colourPalette());
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) QCOMPARE(shown.pixel(x, y), drawn.pixel(x, y));

    const QImage single = kyvqt::renderImage(*w.control(), 1.0);
    const QImage twice = kyvqt::renderImage(*w.control(), 2.0);
    QCOMPARE(twice.size(), single.size() * 2);
    QCOMPARE(twice.devicePixelRatio(), 2.0);
    for (int y = 0; y < single.height(); ++y)
      for (int x = 0; x < single.width(); ++x)
        for (int d = 0; d < 4; ++d) QCOMPARE(twice.pixel(2 * x + d % 2, 2 * y + d / 2), single.pixel(x, y));
    QCOMPARE(QColor(single.pixel(15, 200)), QColor(0, 255, 0));  // the green segment
  }

  // Rendered into a picture of another pixel ratio (a host drawing its screen for a
  // larger display), the widget draws the control at that ratio, sharp, not its own
  // picture stretched; and a change the widget had not shown yet still shows afterwards.
  void rendersAtTheRatioOfThePictureItIsRenderedInto() {
    ControlWidget w;
    QVERIFY(showBar(w, 30));
    const qreal ratio = w.devicePixelRatioF() * 2.5;
    QImage picture(w.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    picture.setDevicePixelRatio(ratio);
    Variant next(int16_t(70));
    w.call("incbar", next);
    w.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    QCOMPARE(picture, kyvqt::renderImage(*w.control(), ratio, &w.colourPalette()));
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(shown, kyvqt::renderImage(*w.control(), w.devicePixelRatioF(), &w.colourPalette()));
  }

  // A new reading repaints the rows the bar gains and the caption's digits, a small part
  // of the widget; what the widget shows then is the whole picture the renderer makes.
  void repaintsOnlyWhatChanged() {
    ControlWidget w;
    QVERIFY(showBar(w, 30));
    QCoreApplication::processEvents();
    PaintRegion painted;
    w.installEventFilter(&painted);
    Variant next(int16_t(35));
    w.call("incbar", next);
    QTRY_VERIFY(!painted.region.isEmpty());
    QVERIFY2(
        pixelsIn(painted.region) * 5 < w.width() * w.height(),
        qPrintable(QString("repainted %1 of %2 pixels").arg(pixelsIn(painted.region)).arg(w.width() * w.height())));
    const qreal ratio = w.devicePixelRatioF();
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage drawn = kyvqt::renderImage(*w.control(), ratio, &w.colourPalette());
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) QCOMPARE(shown.pixel(x, y), drawn.pixel(x, y));
  }

  // The kept picture brought up to date without a paint: what changed is repainted and
  // named, the picture is the renderer's whole one, and the widget, hidden meanwhile,
  // shows the change when it next paints.
  void bringsItsPictureUpToDateWithoutAPaint() {
    ControlWidget none;
    QVERIFY(none.upToDatePicture().isNull());
    ControlWidget w;
    QVERIFY(w.create(kBar));
    Variant first(int16_t(30));
    w.call("incbar", first);
    QRegion repainted;
    const qreal ratio = w.devicePixelRatioF();
    QCOMPARE(w.upToDatePicture(&repainted).devicePixelRatio(), ratio);
    QCOMPARE(repainted, QRegion(w.rect()));  // made anew
    Variant next(int16_t(35));
    w.call("incbar", next);
    QVERIFY(w.control()->dirty());
    const QImage& picture = w.upToDatePicture(&repainted);
    QVERIFY(!w.control()->dirty());
    QVERIFY(!repainted.isEmpty());
    QVERIFY(pixelsIn(repainted) * 5 < w.width() * w.height());
    const QImage drawn = kyvqt::renderImage(*w.control(), ratio, &w.colourPalette());
    QCOMPARE(picture, drawn);
    w.upToDatePicture(&repainted);
    QVERIFY(repainted.isEmpty());  // nothing changed since
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) QCOMPARE(shown.pixel(x, y), drawn.pixel(x, y));
  }
};

QTEST_MAIN(TestControlWidget)
#include "tst_controlwidget.moc"
