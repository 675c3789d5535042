// ControlWidget in Qt layouts on the offscreen platform: it asks for its design extent,
// shrinks no further than its class's smallest extent, and grows with the space it gets.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <cmath>

#include "kyv/qt/ControlWidget.h"

using kyvqt::ControlWidget;

namespace {

const QString kVertical = QStringLiteral("KyvVStatus.Kyvvstat");
const QString kFourDigits = QStringLiteral("Kyv4Digit.fourseg");
const QString kMultiBar = QStringLiteral("KyvMultiBars.KyvMultiBar");
const QString kHorizontal = QStringLiteral("KyvHStatus.Hstat");

QSize pixels(float widthTwips, float heightTwips) {
  return QSize(static_cast<int>(std::lround(widthTwips / kyvqt::kTwipsPerPixel)),
               static_cast<int>(std::lround(heightTwips / kyvqt::kTwipsPerPixel)));
}

// Whether `w` is at least its class's smallest extent, with a message that says what it is.
bool holdsItsMinimum(const ControlWidget& w, QByteArray& why) {
  const kyv::ClassInfo& info = w.control()->classInfo();
  const QSize smallest(static_cast<int>(std::ceil(info.minimumWidth() / kyvqt::kTwipsPerPixel)),
                       static_cast<int>(std::ceil(info.minimumHeight() / kyvqt::kTwipsPerPixel)));
  why = w.className().toUtf8() + " is " + QByteArray::number(w.width()) + " x " + QByteArray::number(w.height()) +
        ", its minimum " + QByteArray::number(smallest.width()) + " x " + QByteArray::number(smallest.height());
  return smallest.width() > 1 && w.width() >= smallest.width() && w.height() >= smallest.height();
}

#define VERIFY_MINIMUM(w)                        \
  do {                                           \
    QByteArray why;                              \
    const bool held = holdsItsMinimum((w), why); \
    QVERIFY2(held, why.constData());             \
  } while (false)

}  // namespace

class TestLayouts : public QObject {
  Q_OBJECT

 private slots:
  // The hints come from the class table (default and smallest extent) and from the extent
  // a control was restored with; the widget's current size changes neither.
  void hintsAreTheDesignAndTheSmallestExtent() {
    ControlWidget bar;
    QVERIFY(bar.create(kVertical));
    const kyv::ClassInfo& info = bar.control()->classInfo();
    QCOMPARE(bar.sizeHint(), pixels(info.defaultWidth(), info.defaultHeight()));
    QCOMPARE(bar.minimumSizeHint(), pixels(info.minimumWidth(), info.minimumHeight()));
    QVERIFY(bar.minimumSizeHint().width() > 0 && bar.minimumSizeHint().height() > 0);
    QVERIFY(bar.minimumSizeHint().width() < bar.sizeHint().width());
    bar.resize(5, 5);
    QCOMPARE(bar.sizeHint(), pixels(info.defaultWidth(), info.defaultHeight()));
    bar.resize(400, 900);
    QCOMPARE(bar.sizeHint(), pixels(info.defaultWidth(), info.defaultHeight()));

    kyv::FormControl entry;
    entry.className = kFourDigits.toStdString();
    entry.width = 3000;
    entry.height = 1500;
    ControlWidget digits;
    QVERIFY(digits.restore(entry));
    QCOMPARE(digits.sizeHint(), QSize(200, 100));
    digits.resize(60, 30);
    QCOMPARE(digits.sizeHint(), QSize(200, 100));

    // Restored smaller than its class accepts: the minimum is the restored size.
    entry.width = 600;
    entry.height = 300;
    QVERIFY(digits.restore(entry));
    QCOMPARE(digits.minimumSizeHint(), digits.sizeHint());
  }

  void everyClassHasASmallestExtentBelowItsDefault() {
    for (const char* name :
         {"KyvVStatus.Kyvvstat", "KyvHStatus.Hstat", "Kyv1Digit.sseg", "Kyv4Digit.fourseg", "Kyv6Digit.sixseg",
          "KyvMovingBars.KyvMovingBar", "KyvPulse.HeartBeat", "KyvMultiBars.KyvMultiBar"}) {
      ControlWidget w;
      QVERIFY2(w.create(QString::fromLatin1(name)), name);
      const QSize smallest = w.minimumSizeHint(), design = w.sizeHint();
      QVERIFY2(smallest.width() > 1 && smallest.height() > 1, name);
      QVERIFY2(smallest.width() <= design.width() && smallest.height() <= design.height(), name);
      QVERIFY2(smallest != design, name);
    }
  }

  // A class that cannot be created still asks for room to show its name.
  void aWidgetWithoutControlAsksForRoomForItsName() {
    ControlWidget w;
    QVERIFY(!w.create(QStringLiteral("No.SuchClass")));
    QVERIFY(w.sizeHint().width() >= w.fontMetrics().horizontalAdvance(QStringLiteral("No.SuchClass")));
    QCOMPARE(w.minimumSizeHint(), w.sizeHint());
  }

  // The label's text grows until it wants far more than the window has: the controls
  // beside it keep their smallest size, and their hints do not follow them down.
  void aGrowingLabelDoesNotSqueezeTheControlsAway() {
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* bar = new ControlWidget(&window);
    auto* digits = new ControlWidget(&window);
    auto* label = new QLabel(QStringLiteral("CPU"), &window);
    row->addWidget(bar);
    row->addWidget(digits);
    row->addWidget(label);
    QVERIFY(bar->create(kVertical));
    QVERIFY(digits->create(kFourDigits));
    const QSize barHint = bar->sizeHint(), digitsHint = digits->sizeHint();
    window.resize(600, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(bar->width() >= barHint.width());
    QVERIFY(digits->width() >= digitsHint.width());
    for (int length : {40, 200, 2000}) {
      label->setText(QString(length, QLatin1Char('x')));
      QTRY_VERIFY(label->width() > 100 || length < 200);
      QCoreApplication::processEvents();
      VERIFY_MINIMUM(*bar);
      VERIFY_MINIMUM(*digits);
      QCOMPARE(bar->sizeHint(), barHint);
      QCOMPARE(digits->sizeHint(), digitsHint);
    }
    // Squeezed below what the row needs: the window's layout keeps it at its minimum.
    window.resize(10, 10);
    QCoreApplication::processEvents();
    VERIFY_MINIMUM(*bar);
    VERIFY_MINIMUM(*digits);
    QVERIFY(window.width() >= bar->minimumSizeHint().width() + digits->minimumSizeHint().width());
  }

  // A grid with room to spare stretches its controls past their design size; squeezed,
  // each keeps its smallest size.
  void aGridStretchesAndSqueezes() {
    QWidget window;
    auto* grid = new QGridLayout(&window);
    const QString classes[] = {kVertical, kFourDigits, kMultiBar, kHorizontal};
    ControlWidget* cells[4];
    for (int i = 0; i < 4; ++i) {
      cells[i] = new ControlWidget(&window);
      QVERIFY(cells[i]->create(classes[i]));
      grid->addWidget(cells[i], i / 2, i % 2);
    }
    window.resize(1200, 900);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (ControlWidget* w : cells) {
      QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
               qPrintable(w->className()));
      QCOMPARE(w->extent(), QSizeF(w->width() * kyvqt::kTwipsPerPixel, w->height() * kyvqt::kTwipsPerPixel));
    }
    QVERIFY(cells[2]->width() > cells[2]->sizeHint().width());
    window.resize(20, 20);
    QCoreApplication::processEvents();
    for (ControlWidget* w : cells) VERIFY_MINIMUM(*w);
    QVERIFY(cells[0]->width() < cells[0]->sizeHint().width() || cells[1]->width() < cells[1]->sizeHint().width());
  }

  // A splitter moved or squeezed gives the control no less than its minimum (unless the
  // application lets the user collapse it, as every splitter child can be by default).
  void aSplitterKeepsTheMinimum() {
    QSplitter splitter(Qt::Horizontal);
    auto* digits = new ControlWidget;
    auto* label = new QLabel(QStringLiteral("CPU"));
    splitter.addWidget(digits);
    splitter.addWidget(label);
    splitter.setCollapsible(0, false);
    QVERIFY(digits->create(kFourDigits));
    splitter.resize(800, 200);
    splitter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splitter));
    splitter.setSizes({1, 799});
    QCoreApplication::processEvents();
    VERIFY_MINIMUM(*digits);
    QVERIFY(digits->width() < digits->sizeHint().width());
    splitter.setSizes({700, 100});
    QCoreApplication::processEvents();
    QVERIFY(digits->width() > digits->sizeHint().width());
    QCOMPARE(digits->extent().width(), digits->width() * kyvqt::kTwipsPerPixel);
    splitter.resize(30, 30);
    QCoreApplication::processEvents();
    VERIFY_MINIMUM(*digits);
  }
};

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
