// What a first Qt program does with the typed widgets on the offscreen platform: squeezes
// them below their minimum, feeds them before showing them, puts them in a grid and runs
// them under a dark palette.
#include <QBoxLayout>
#include <QGridLayout>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "kyv/class_info.h"
#include "kyv/palette.h"
#include "kyv/qt/Widgets.h"

using kyvqt::TypedWidget;
using kyvqt::WidgetEntry;

namespace {

std::unique_ptr<TypedWidget> make(const WidgetEntry& entry, QWidget* parent = nullptr) {
  return std::unique_ptr<TypedWidget>(qobject_cast<TypedWidget*>(entry.create(parent)));
}

QImage pictureOf(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QPalette darkPalette() {
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 32), text(220, 220, 220);
  for (auto role : {QPalette::Window, QPalette::Button, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
    p.setColor(role, window);
  p.setColor(QPalette::Base, base);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, text);
  return p;
}

// The share of grey pixels of `image` lighter than mid grey; coloured pixels (segments,
// the trace) count in neither.
double lightShare(const QImage& image) {
  int light = 0, grey = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c(image.pixel(x, y));
      if (c.hsvSaturation() > 64) continue;
      ++grey;
      light += c.lightness() >= 128;
    }
  return grey ? double(light) / grey : 0;
}

}  // namespace

class TestFirstProgram : public QObject {
  Q_OBJECT

 private slots:
  // A splitter dragged shut or a window made tiny lays the control out at its smallest
  // extent and shows the part that fits: no error, at any size.
  void anySizeBelowTheMinimumRaisesNoError() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      QWidget window;
      window.resize(500, 400);
      const std::unique_ptr<TypedWidget> w = make(entry, &window);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      QSignalSpy errors(w.get(), &kyvqt::ControlWidget::errorOccurred);
      for (int width = 1; width <= 400; ++width)
        for (int height = 1; height <= 300; ++height) w->resize(width, height);
      QVERIFY2(errors.isEmpty(), qPrintable(QString::fromUtf8(entry.qtClassName) + QStringLiteral(": ") +
                                            (errors.isEmpty() ? QString() : errors[0][2].toString())));
      const kyv::ClassInfo& info = w->control()->classInfo();
      w->resize(1, 1);
      QCOMPARE(w->extent(), QSizeF(info.minimumWidth(), info.minimumHeight()));
      const int wide = w->minimumSizeHint().width() + 5;
      w->resize(wide, 1);
      QCOMPARE(w->extent(), QSizeF(wide * kyvqt::kTwipsPerPixel, info.minimumHeight()));
      QVERIFY(!pictureOf(*w).isNull());
      QVERIFY(errors.isEmpty());
    }
  }

  // The first layout of a widget is not a resize by its user: what was fed before the
  // widget was first shown stays shown, on its own or in a layout that sizes it.
  void aReadingFedBeforeTheFirstShowStays() {
    for (const bool inLayout : {false, true}) {
      for (const auto& [name, reading] :
           {std::pair{"kyvqt::SixsegWidget", 123456}, std::pair{"kyvqt::FoursegWidget", 42},
            std::pair{"kyvqt::KyvvstatWidget", 70}, std::pair{"kyvqt::HstatWidget", 30}}) {
        const WidgetEntry& entry = *kyvqt::findWidget(name);
        QWidget earlyWindow, lateWindow;
        QGridLayout earlyGrid(&earlyWindow), lateGrid(&lateWindow);
        const std::unique_ptr<TypedWidget> early = make(entry), late = make(entry);
        if (inLayout) {
          earlyGrid.addWidget(early.get(), 0, 0);
          lateGrid.addWidget(late.get(), 0, 0);
          earlyWindow.resize(400, 400);
          lateWindow.resize(400, 400);
        }
        const char* feed = entry.role == QAccessible::ProgressBar ? "incbar" : "send";
        bool fed = false;
        QVERIFY(QMetaObject::invokeMethod(early.get(), feed, Q_RETURN_ARG(bool, fed), Q_ARG(int, reading)) && fed);
        QWidget& earlyShown = inLayout ? earlyWindow : *early;
        QWidget& lateShown = inLayout ? lateWindow : *late;
        earlyShown.show();
        lateShown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&earlyShown));
        QVERIFY(QTest::qWaitForWindowExposed(&lateShown));
        QVERIFY(QMetaObject::invokeMethod(late.get(), feed, Q_RETURN_ARG(bool, fed), Q_ARG(int, reading)) && fed);
        QCOMPARE(early->size(), late->size());
        QVERIFY2(early->reading() && early->reading()->current == reading, name);
        QVERIFY2(pictureOf(*early) == pictureOf(*late), name);
        // Once shown, a resize is the user's: the control's own rule empties it again.
        early->resize(early->width() + 7, early->height() + 9);
        QVERIFY2(early->reading()->current == 0, name);
      }
    }
  }

  // In a grid with room to spare, a status bar keeps its thickness, digits keep their
  // design size (and so their aspect) and the charts take the room.
  void aGridStretchesOnlyWhatShouldGrow() {
    QWidget window;
    auto* grid = new QGridLayout(&window);
    std::vector<TypedWidget*> widgets;
    int cell = 0;
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      TypedWidget* w = make(entry).release();
      grid->addWidget(w, cell / 3, cell % 3);
      widgets.push_back(w);
      ++cell;
    }
    window.resize(1500, 1200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (TypedWidget* w : widgets) {
      const QString name = QString::fromLatin1(w->metaObject()->className());
      const QSize hint = w->sizeHint();
      if (name == QStringLiteral("kyvqt::KyvvstatWidget")) {
        QCOMPARE(w->width(), hint.width());
        QVERIFY2(w->height() >= hint.height(), qPrintable(name));
      } else if (name == QStringLiteral("kyvqt::HstatWidget")) {
        QCOMPARE(w->height(), hint.height());
        QVERIFY2(w->width() >= hint.width(), qPrintable(name));
      } else if (name.endsWith(QStringLiteral("segWidget"))) {
        QCOMPARE(w->size(), hint);
      } else {
        QVERIFY2(w->width() > hint.width() && w->height() > hint.height(), qPrintable(name));
      }
    }
  }

  // In a row or a column beside digits, which do not grow, a status bar still gets its
  // whole length: a widget that keeps its size must not cap the row it sits in.
  void aBarBesideDigitsGetsItsLength() {
    for (const auto direction : {QBoxLayout::LeftToRight, QBoxLayout::TopToBottom}) {
      const bool row = direction == QBoxLayout::LeftToRight;
      QWidget window;
      auto* box = new QBoxLayout(direction, &window);
      TypedWidget* bar = make(*kyvqt::findWidget(row ? "kyvqt::KyvvstatWidget" : "kyvqt::HstatWidget")).release();
      box->addWidget(bar);
      TypedWidget* digits = make(*kyvqt::findWidget("kyvqt::FoursegWidget")).release();
      box->addWidget(digits);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      // Capped, the bar would be no longer than the digits are across the row.
      if (row)
        QVERIFY2(bar->height() > 2 * digits->height(), qPrintable(QString::number(bar->height())));
      else
        QVERIFY2(bar->width() > digits->width(), qPrintable(QString::number(bar->width())));
    }
  }

  // An instrument face stays dark under a dark palette, as under a light one; reset, it
  // follows the palette's text colour again.
  void instrumentFacesStayDarkUnderADarkPalette() {
    for (const char* name :
         {"kyvqt::SsegWidget", "kyvqt::FoursegWidget", "kyvqt::SixsegWidget", "kyvqt::HeartBeatWidget"}) {
      for (const bool dark : {false, true}) {
        const std::unique_ptr<TypedWidget> w = make(*kyvqt::findWidget(name));
        if (dark) w->setPalette(darkPalette());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY2(w->property("BackColor").value<QColor>().lightness() < 64, name);
        QVERIFY2(lightShare(pictureOf(*w)) < 0.5, name);
        if (!dark) continue;
        const QMetaObject* meta = w->metaObject();
        QVERIFY(meta->property(meta->indexOfProperty("BackColor")).reset(w.get()));
        QVERIFY2(w->property("BackColor").value<QColor>().lightness() > 192, name);
        QVERIFY2(lightShare(pictureOf(*w)) > 0.5, name);
      }
    }
  }
};

QTEST_MAIN(TestFirstProgram)
#include "tst_firstprogram.moc"
