// The typed widgets on the offscreen platform: every one from the catalog, its properties
// through QObject::setProperty, its slots, signals, resize rule and accessible interface,
// and a worker thread feeding one through a queued connection.
#include <QAccessible>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <vector>

#ifdef KYV_TEST_ACCESSIBILITY_EVENTS
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#endif

#include "kyv/names.h"
#include "kyv/palette.h"
#include "kyv/qt/Widgets.h"
#include "kyv/registry.h"
#include "required_tool.h"

using kyvqt::TypedWidget;
using kyvqt::WidgetEntry;

namespace {

std::unique_ptr<TypedWidget> make(const WidgetEntry& entry) {
  return std::unique_ptr<TypedWidget>(qobject_cast<TypedWidget*>(entry.create(nullptr)));
}

// The properties the widget's classes below TypedWidget declare (a twin shares them with
// its sibling): the control's members.
std::vector<QMetaProperty> controlProperties(const QObject& widget) {
  std::vector<QMetaProperty> properties;
  const QMetaObject* meta = widget.metaObject();
  for (int i = TypedWidget::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
    properties.push_back(meta->property(i));
  return properties;
}

// The slots the widget's classes below TypedWidget declare: its feed methods.
std::vector<QMetaMethod> feedSlots(const QObject& widget) {
  std::vector<QMetaMethod> feeds;
  const QMetaObject* meta = widget.metaObject();
  for (int i = TypedWidget::staticMetaObject.methodCount(); i < meta->methodCount(); ++i)
    if (meta->method(i).methodType() == QMetaMethod::Slot) feeds.push_back(meta->method(i));
  return feeds;
}

kyv::VarType memberType(TypedWidget& w, const char* name) {
  const kyv::ClassInfo& info = w.control()->classInfo();
  return info.members()[static_cast<size_t>(info.find(name))].type;
}

// The default of stored property `name` in the widget's class table.
kyv::Variant classDefault(TypedWidget& w, const char* name) {
  for (const kyv::StoredInfo& stored : w.control()->classInfo().storedReadOrder())
    if (kyv::sameName(stored.key, name)) return stored.fallback;
  return {};
}

// A valid value other than `current` for every property of the eight controls.
QVariant anotherValue(const QVariant& current) {
  if (current.typeId() == QMetaType::Bool) return !current.toBool();
  if (current.typeId() == QMetaType::QColor) return QColor(0x12, 0x34, 0x56);
  const int n = current.toInt();
  return n == 0 ? 1 : n - 1;
}

bool callSlot(QObject& w, const QMetaMethod& slot, int value) {
  bool result = true;
  const bool invoked =
      slot.parameterCount() == 2
          ? slot.invoke(&w, Qt::DirectConnection, Q_RETURN_ARG(bool, result), Q_ARG(int, 0), Q_ARG(int, value))
          : slot.invoke(&w, Qt::DirectConnection, Q_RETURN_ARG(bool, result), Q_ARG(int, value));
  return invoked && result;
}

int pixelsOf(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
  return n;
}

QImage pictureOf(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// A widget without its control shows a dashed frame in the palette's mid colour around the
// class name: the frame starts at its corner, and there is ink of the name within it.
bool placeholderShown(QWidget& w) {
  const QImage picture = pictureOf(w);
  const QRgb frame = w.palette().color(QPalette::Mid).rgb(), ground = picture.pixel(2, 2);
  const int ink = picture.width() * picture.height() - pixelsOf(picture, frame) - pixelsOf(picture, ground);
  return picture.pixel(0, 0) == frame && pixelsOf(picture, frame) > picture.width() && ink > 0;
}

// The value-change events sent while it lives.
struct ValueEvents {
  static inline std::vector<std::pair<QObject*, QVariant>> seen;
  static void handle(QAccessibleEvent* event) {
    if (event->type() == QAccessible::ValueChanged)
      seen.emplace_back(event->object(), static_cast<QAccessibleValueChangeEvent*>(event)->value());
  }
  ValueEvents() {
    seen.clear();
    QAccessible::installUpdateHandler(&handle);
  }
  ~ValueEvents() { QAccessible::installUpdateHandler(nullptr); }
};

// Sends readings from its own thread.
class Acquisition : public QObject {
  Q_OBJECT
 public:
  void run(const std::vector<int>& readings) {
    for (const int r : readings) {
      emit reading(r);
      emit columnReading(r % 10, r);
    }
  }
 signals:
  void reading(int value);
  void columnReading(int column, int value);
};

}  // namespace

class TestTypedWidgets : public QObject {
  Q_OBJECT

 private slots:
  void theCatalogMakesEveryWidgetWithItsControl() {
    // One widget for every class of the build's registration file.
    const std::vector<kyv::RegisteredClass> classes = kyv::Registry().registeredClasses();
    QCOMPARE(classes.size(), kyvqt::widgetCatalog().size());
    for (const kyv::RegisteredClass& c : classes) QVERIFY2(kyvqt::findWidget(c.className), c.className.c_str());
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      QVERIFY2(w && w->control(), entry.qtClassName);
      QCOMPARE(w->metaObject()->className(), entry.qtClassName);
      QCOMPARE(w->className(), QString::fromUtf8(entry.controlClassName));
      QCOMPARE(kyvqt::findWidget(entry.controlClassName), &entry);
      QCOMPARE(kyvqt::findWidget(std::string_view(entry.qtClassName).substr(7)), &entry);
    }
    QCOMPARE(kyvqt::findWidget("QLabel"), nullptr);
  }

  // A registry without the control: the widget stays empty, reads give nothing, and writes,
  // resets and slots report why.
  void aWidgetWithoutItsControlReportsAndGoesOn() {
    kyv::Registry nowhere("/nonexistent/kyvregistry.json");
    kyvqt::KyvvstatWidget bar(&nowhere);
    QVERIFY(!bar.control());
    QSignalSpy errors(&bar, &TypedWidget::errorOccurred);
    QCOMPARE(bar.Maxlimit(), 0);
    QVERIFY(!bar.BackColor().isValid());
    QVERIFY(!bar.reading() || bar.reading()->current == 0);
    bar.setMaxlimit(5);
    bar.resetMaxlimit();
    bar.setFillColor(Qt::red);
    QVERIFY(!bar.incbar(5));
    QVERIFY(!bar.setColour("FillColor", kyv::Colour{0x80000005}));
    QCOMPARE(errors.count(), 5);
    for (const QList<QVariant>& error : errors) QCOMPARE(error[1], QVariant(QStringLiteral("cannot-create-object")));
    bar.resize(60, 90);
    QVERIFY(placeholderShown(bar));
  }

  // Each control property once: written, read back, notified once, and reset to its default.
  void everyPropertyWritesReadsNotifiesAndResets() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      QSignalSpy errors(w.get(), &TypedWidget::errorOccurred);
      const std::vector<QMetaProperty> properties = controlProperties(*w);
      QCOMPARE(properties.size(),
               static_cast<size_t>(
                   std::count_if(w->control()->classInfo().members().begin(), w->control()->classInfo().members().end(),
                                 [](const kyv::MemberInfo& m) { return m.kind == kyv::MemberKind::Property; })));
      for (const QMetaProperty& p : properties) {
        const QByteArray where = QByteArray(entry.qtClassName) + "::" + p.name();
        QVERIFY2(p.hasNotifySignal() && p.isResettable(), where);
        QSignalSpy notified(w.get(), p.notifySignal());
        const QVariant initial = p.read(w.get());
        const QVariant changed = anotherValue(initial);
        QVERIFY2(p.write(w.get(), changed), where);
        QVERIFY2(p.read(w.get()) == changed, where);
        QVERIFY2(notified.count() == 1, where);
        p.write(w.get(), changed);
        QVERIFY2(notified.count() == 1, where);  // the same value again changes nothing
        QVERIFY2(p.reset(w.get()), where);
        QVERIFY2(kyv::equalsDefault(*w->tryGet(p.name()), classDefault(*w, p.name())), where);
        QVERIFY2(notified.count() == 2, where);
      }
      QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(2).toString()));
    }
  }

  // 70000 overflows every Integer property and is reported; Long properties take it.
  void aRejectedWriteIsReportedAndChangesNothing() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      for (const QMetaProperty& p : controlProperties(*w)) {
        if (p.typeId() != QMetaType::Int) continue;
        QSignalSpy errors(w.get(), &TypedWidget::errorOccurred);
        QSignalSpy notified(w.get(), p.notifySignal());
        const QVariant before = p.read(w.get());
        w->setProperty(p.name(), 70000);
        if (memberType(*w, p.name()) == kyv::VarType::Long) {
          QCOMPARE(p.read(w.get()), QVariant(70000));
          continue;
        }
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0], QVariant(QString::fromLatin1(p.name())));
        QCOMPARE(errors[0][1], QVariant(QStringLiteral("overflow")));
        QCOMPARE(p.read(w.get()), before);
        QCOMPARE(notified.count(), 0);
      }
    }
  }

  void coloursRoundTripAndSystemColoursStay() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      for (const QMetaProperty& p : controlProperties(*w)) {
        if (p.typeId() != QMetaType::QColor) continue;
        const std::optional<kyv::Colour> stored = w->colour(p.name());
        QVERIFY(stored);
        const uint32_t bgr = kyv::resolveColour(*stored, w->colourPalette());  // as the widget paints it
        QCOMPARE(p.read(w.get()).value<QColor>(), QColor(bgr & 0xFF, bgr >> 8 & 0xFF, bgr >> 16 & 0xFF));
        w->setProperty(p.name(), w->property(p.name()));
        QCOMPARE(w->colour(p.name()), stored);
      }
    }
    // A system colour reads as the colour the widget paints.
    kyvqt::KyvvstatWidget bar;
    QVERIFY(bar.colour("BackColor")->isSystem());  // its default
    QVERIFY(bar.setColour("FillColor", kyv::Colour{0x80000012}));
    QCOMPARE(bar.colour("FillColor"), kyv::Colour{0x80000012});
    bar.incbar(30);
    const QImage picture = pictureOf(bar);
    const qreal ratio = picture.devicePixelRatio();
    QCOMPARE(picture.pixelColor(qRound(15 * ratio), qRound(200 * ratio)), bar.FillColor());  // the bar
    QCOMPARE(picture.pixelColor(qRound(15 * ratio), qRound(20 * ratio)), bar.BackColor());   // above it
    bar.setFillColor(QColor(1, 2, 3));
    QCOMPARE(bar.colour("FillColor"), kyv::Colour{0x030201});
    bar.setColour("FillColor", kyv::Colour{0x80000005});
    bar.setFillColor(QColor(255, 0, 0, 128));  // alpha is ignored
    QCOMPARE(bar.colour("FillColor"), kyv::Colour{0x0000FF});

    QSignalSpy errors(&bar, &TypedWidget::errorOccurred);
    QVERIFY(!bar.setColour("FillColor", kyv::Colour{0x800000FF}));
    bar.setFillColor(QColor());
    QCOMPARE(errors.count(), 2);
    QCOMPARE(errors[0][1], QVariant(QStringLiteral("invalid-property-value")));
    QCOMPARE(errors[1][1], QVariant(QStringLiteral("invalid-property-value")));
    QCOMPARE(bar.colour("FillColor"), kyv::Colour{0x0000FF});
    bar.resetFillColor();
    QCOMPARE(bar.colour("FillColor"), kyv::Colour{0x00FF00});
    bar.resetBackColor();
    QCOMPARE(bar.colour("BackColor"), kyv::Colour{0x8000000F});
  }

  // Every feed slot refuses 70000 through errorOccurred, never throws, and feeds again after.
  void slotsReportOutOfRangeReadingsAndGoOn() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      const std::vector<QMetaMethod> feeds = feedSlots(*w);
      QVERIFY(!feeds.empty());
      for (const QMetaMethod& slot : feeds) {
        QSignalSpy errors(w.get(), &TypedWidget::errorOccurred);
        QVERIFY2(!callSlot(*w, slot, 10000000), slot.methodSignature().constData());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][1], QVariant(QStringLiteral("overflow")));
        QVERIFY2(callSlot(*w, slot, 5), slot.methodSignature().constData());
        QCOMPARE(errors.count(), 1);
      }
    }
  }

  void slotsReportWhatTheControlRejects() {
    kyvqt::KyvMultiBarWidget multi;
    QSignalSpy errors(&multi, &TypedWidget::errorOccurred);
    QVERIFY(!multi.Column(10));
    QVERIFY(!multi.Value(-1));
    QVERIFY(!multi.Value(12, 5));
    QCOMPARE(errors.count(), 3);
    QCOMPARE(errors[0], (QList<QVariant>{"Column", "subscript-out-of-range", errors[0][2]}));
    QCOMPARE(errors[1][1], QVariant(QStringLiteral("invalid-property-value")));
    QCOMPARE(errors[2][0], QVariant(QStringLiteral("Column")));

    kyvqt::FoursegWidget digits;
    QVERIFY(digits.send(42));
    const QImage shown = pictureOf(digits);
    QSignalSpy digitErrors(&digits, &TypedWidget::errorOccurred);
    QVERIFY(!digits.send(12345));
    QVERIFY(!digits.send(-1000));
    QCOMPARE(digitErrors.count(), 2);
    QCOMPARE(digitErrors[0][0], QVariant(QStringLiteral("send")));
    QCOMPARE(pictureOf(digits), shown);
    QCOMPARE(digits.reading()->current, 42);

    kyvqt::KyvvstatWidget bar;
    bar.setMaxlimit(0);
    QSignalSpy barErrors(&bar, &TypedWidget::errorOccurred);
    QVERIFY(!bar.incbar(5));
    QCOMPARE(barErrors[0][1], QVariant(QStringLiteral("division-by-zero")));
  }

  void eventSignalsFireForTheirReadings() {
    for (const char* name : {"kyvqt::KyvvstatWidget", "kyvqt::HstatWidget"}) {
      const std::unique_ptr<TypedWidget> w = make(*kyvqt::findWidget(name));
      QSignalSpy low(w.get(), SIGNAL(minThreshReached()));
      QSignalSpy normal(w.get(), SIGNAL(normalOPs()));
      QSignalSpy high(w.get(), SIGNAL(maxThreshReached()));
      QSignalSpy raised(w.get(), &TypedWidget::eventRaised);
      for (const int reading : {0, 1, 40, 41, 100}) QMetaObject::invokeMethod(w.get(), "incbar", Q_ARG(int, reading));
      QCOMPARE(low.count(), 1);
      QCOMPARE(normal.count(), 2);
      QCOMPARE(high.count(), 2);
      QCOMPARE(raised.count(), 5);
    }
    kyvqt::KyvMovingBarWidget graph;
    QSignalSpy reached(&graph, &kyvqt::KyvMovingBarWidget::maxLimitReached);
    QSignalSpy normal(&graph, &kyvqt::KyvMovingBarWidget::normalOPs);
    graph.MoveBar(99);
    graph.MoveBar(100);
    graph.MoveBar(150);
    QCOMPARE(normal.count(), 1);
    QCOMPARE(reached.count(), 2);
  }

  // The control is fed on the GUI thread, in order, whatever thread the readings come from.
  void aWorkerThreadFeedsThroughAQueuedConnection() {
    kyvqt::KyvvstatWidget bar;
    kyvqt::KyvMultiBarWidget multi;
    std::vector<int> eventThreads;
    QObject::connect(&bar, &TypedWidget::eventRaised, &bar,
                     [&] { eventThreads.push_back(QThread::currentThread() == bar.thread()); });
    QThread thread;
    Acquisition acquisition;
    acquisition.moveToThread(&thread);
    QObject::connect(&acquisition, &Acquisition::reading, &bar, &kyvqt::KyvvstatWidget::incbar);
    QObject::connect(&acquisition, &Acquisition::columnReading, &multi,
                     qOverload<int, int>(&kyvqt::KyvMultiBarWidget::Value));
    std::vector<int> readings;
    for (int i = 1; i <= 200; ++i) readings.push_back(i % 97);
    QObject::connect(&thread, &QThread::started, &acquisition, [&] {
      acquisition.run(readings);
      thread.quit();
    });
    thread.start();
    QVERIFY(thread.wait(10000));
    QTRY_COMPARE(eventThreads.size(), readings.size());
    QVERIFY(std::all_of(eventThreads.begin(), eventThreads.end(), [](int onGui) { return onGui; }));

    kyvqt::KyvvstatWidget reference;
    reference.incbar(readings.back());
    QCOMPARE(bar.reading()->current, readings.back());
    QCOMPARE(pictureOf(bar), pictureOf(reference));
    kyvqt::KyvMultiBarWidget multiReference;
    for (const int r : readings) multiReference.Value(r % 10, r);
    QCOMPARE(pictureOf(multi), pictureOf(multiReference));
  }

  void keepReadingOnResizeKeepsTheBarAndOffEmptiesIt() {
    for (const bool keep : {false, true}) {
      kyvqt::KyvvstatWidget bar;
      QVERIFY(!bar.keepReadingOnResize());
      bar.setKeepReadingOnResize(keep);
      bar.show();  // the layouts before the first show keep the reading either way
      QVERIFY(QTest::qWaitForWindowExposed(&bar));
      QSignalSpy events(&bar, &TypedWidget::eventRaised);
      bar.incbar(30);
      const QRgb fill = bar.FillColor().rgb();
      QVERIFY(pixelsOf(pictureOf(bar), fill) > 0);
      bar.resize(bar.width() + 10, bar.height() + 40);
      QCOMPARE(pixelsOf(pictureOf(bar), fill) > 0, keep);
      QCOMPARE(bar.reading()->current, keep ? 30 : 0);
      QCOMPARE(events.count(), 1);  // a reading shown again is not a new one
    }
  }

  // The widget's own properties, like the control's: written, notified once, unchanged by
  // the same value again, and reset to their defaults with a notification.
  void theWidgetsOwnPropertiesNotifyAndReset() {
    const QMetaObject& typed = TypedWidget::staticMetaObject;
    QVERIFY(typed.propertyCount() > QWidget::staticMetaObject.propertyCount());
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      for (int i = QWidget::staticMetaObject.propertyCount(); i < typed.propertyCount(); ++i) {
        const QMetaProperty p = typed.property(i);
        const QByteArray where = QByteArray(entry.qtClassName) + "::" + p.name();
        QVERIFY2(p.hasNotifySignal() && p.isResettable(), where);
        QSignalSpy notified(w.get(), p.notifySignal());
        const QVariant initial = p.read(w.get());
        const QVariant changed = anotherValue(initial);
        QVERIFY2(p.write(w.get(), changed) && p.read(w.get()) == changed, where);
        QVERIFY2(notified.count() == 1, where);
        p.write(w.get(), changed);
        QVERIFY2(notified.count() == 1, where);
        QVERIFY2(p.reset(w.get()) && p.read(w.get()) == initial, where);
        QVERIFY2(notified.count() == 2, where);
      }
    }
  }

  // A kept reading the control refuses at its new size is reported for the resize, once,
  // and raises no event; the widget goes on.
  void aKeptReadingRefusedAfterAResizeIsReported() {
    kyvqt::KyvvstatWidget bar;
    bar.setKeepReadingOnResize(true);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QVERIFY(bar.incbar(30));
    QSignalSpy events(&bar, &TypedWidget::eventRaised);
    QSignalSpy errors(&bar, &TypedWidget::errorOccurred);
    bar.setMaxlimit(0);  // the reading would now divide by zero
    errors.clear();
    bar.resize(bar.width() + 10, bar.height() + 40);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors[0][0], QVariant(QStringLiteral("Resize")));
    QCOMPARE(errors[0][1], QVariant(QStringLiteral("division-by-zero")));
    QCOMPARE(events.count(), 0);
    bar.setMaxlimit(100);
    QVERIFY(bar.incbar(40));
    QCOMPARE(bar.reading()->current, 40);
  }

  // Kept readings make the same picture as a widget of the new size fed them anew.
  void keptReadingsMatchAFreshWidget() {
    const QSize size(150, 90);
    for (const char* name :
         {"kyvqt::FoursegWidget", "kyvqt::SsegWidget", "kyvqt::KyvMultiBarWidget", "kyvqt::HeartBeatWidget"}) {
      const WidgetEntry& entry = *kyvqt::findWidget(name);
      const auto feed = [](TypedWidget& w) {
        for (const QMetaMethod& slot : feedSlots(w))
          if (slot.parameterCount() == 1 && slot.name() != "Column")
            for (const int v : {3, 7, 1, 5, 8, 2, 9, 4, 6, 1, 8, 3, 5, 7}) callSlot(w, slot, v);
        if (auto* multi = qobject_cast<kyvqt::KyvMultiBarWidget*>(&w)) multi->Value(6, 40);
      };
      const std::unique_ptr<TypedWidget> kept = make(entry), fresh = make(entry), lost = make(entry);
      kept->setKeepReadingOnResize(true);
      for (TypedWidget* w : {kept.get(), lost.get(), fresh.get()}) {
        w->show();  // the layouts before the first show keep the readings either way
        QVERIFY(QTest::qWaitForWindowExposed(w));
      }
      feed(*kept);
      feed(*lost);
      for (TypedWidget* w : {kept.get(), lost.get(), fresh.get()}) w->resize(size);
      feed(*fresh);
      QVERIFY2(pictureOf(*kept) == pictureOf(*fresh), name);
      if (entry.role != QAccessible::Chart) QVERIFY2(lost->reading()->current == 0, name);
    }
  }

  // The control alone takes a new HorizCount at its next layout and fails every point past
  // the old count until then; the widget lays the trace out at once.
  void theTraceTakesANewHorizCountAtOnce() {
    kyvqt::HeartBeatWidget trace, fresh;
    for (QWidget* w : {static_cast<QWidget*>(&trace), static_cast<QWidget*>(&fresh)}) {
      w->show();
      QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    for (const int v : {2, 8, 4}) trace.Plot(v);
    pictureOf(trace);
    trace.setHorizCount(30);
    fresh.setHorizCount(30);
    QSignalSpy errors(&trace, &TypedWidget::errorOccurred);
    for (int i = 0; i < 25; ++i) {
      QVERIFY(trace.Plot(i % 10));
      fresh.Plot(i % 10);
    }
    QVERIFY(errors.isEmpty());
    QCOMPARE(pictureOf(trace), pictureOf(fresh));
    trace.resetHorizCount();
    QCOMPARE(trace.HorizCount(), 10);
    kyvqt::HeartBeatWidget empty;
    QCOMPARE(pictureOf(trace), pictureOf(empty));  // laid out anew: the points are gone
  }

  void accessibleInterfacesNameRoleAndValue() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.get());
      QVERIFY(a);
      QCOMPARE(a->role(), entry.role);
      QCOMPARE(a->text(QAccessible::Name), QString::fromUtf8(entry.displayName));
      QCOMPARE(a->valueInterface() != nullptr, entry.role != QAccessible::Chart);
    }
    kyvqt::KyvvstatWidget bar;
    bar.setAccessibleName(QStringLiteral("Tank level"));
    bar.setMaxlimit(250);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&bar);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Tank level"));
    QAccessibleValueInterface* value = a->valueInterface();
    QCOMPARE(value->maximumValue(), QVariant(250));
    QCOMPARE(value->minimumValue(), QVariant(0));

    kyvqt::ControlWidget plain;
    plain.create(QStringLiteral("Kyv4Digit.fourseg"));
    QAccessibleInterface* plainInterface = QAccessible::queryAccessibleInterface(&plain);
    QCOMPARE(plainInterface->role(), QAccessible::StaticText);
    QCOMPARE(plainInterface->text(QAccessible::Name), QStringLiteral("Four-digit display"));
    QVERIFY(!plainInterface->valueInterface());
  }

  // Qt sends accessibility events only while a platform's assistive technology listens;
  // the test plays that part through the platform's accessibility.
  void theAccessibleValueFollowsTheReading() {
#ifdef KYV_TEST_ACCESSIBILITY_EVENTS
    QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(platform);
    platform->setActive(true);
#else
    KYV_MISSING_TOOL("Qt's private headers (qt6-base-private-dev) are needed to activate accessibility");
#endif
    kyvqt::KyvvstatWidget bar;
    kyvqt::SixsegWidget digits;
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(&bar)->valueInterface();
    const ValueEvents events;
    bar.incbar(42);
    QCOMPARE(value->currentValue(), QVariant(42));
    QCOMPARE(QAccessible::queryAccessibleInterface(&bar)->text(QAccessible::Value), QStringLiteral("42"));
    bar.incbar(70000);  // rejected: no event
    digits.send(-12345);
    QCOMPARE(QAccessible::queryAccessibleInterface(&digits)->valueInterface()->currentValue(), QVariant(-12345));
    QCOMPARE(ValueEvents::seen.size(), size_t(2));
    QCOMPARE(ValueEvents::seen[0], std::make_pair(static_cast<QObject*>(&bar), QVariant(42)));
    QCOMPARE(ValueEvents::seen[1], std::make_pair(static_cast<QObject*>(&digits), QVariant(-12345)));
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.resize(bar.width(), bar.height() + 20);  // the control empties the bar
    QCOMPARE(value->currentValue(), QVariant(0));
    QCOMPARE(ValueEvents::seen.size(), size_t(3));
  }
};

QTEST_MAIN(TestTypedWidgets)
#include "tst_typedwidgets.moc"
