// A window of four Kyv controls fed by one timer: a vertical status bar, a four-digit
// counter, a heartbeat trace and a scrolling bar graph.
//
//   qt-window                      the window, until it is closed
//   qt-window --screenshot FILE    runs 60 ticks, writes the window as PNG and exits
#include <kyv/bag.h>
#include <kyv/error.h>
#include <kyv/qt/ControlWidget.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QTimer>
#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
  const QString screenshot = option > 0 && option + 1 < arguments.size() ? arguments[option + 1] : QString();

  QWidget window;
  window.setWindowTitle(QStringLiteral("Kyv controls"));
  auto* row = new QHBoxLayout(&window);
  auto* bar = new kyvqt::ControlWidget;
  auto* counter = new kyvqt::ControlWidget;
  auto* trace = new kyvqt::ControlWidget;
  auto* graph = new kyvqt::ControlWidget;
  for (kyvqt::ControlWidget* widget : {bar, counter, trace, graph}) {
    // A widget that cannot create its control says why and shows an empty frame.
    QObject::connect(widget, &kyvqt::ControlWidget::errorOccurred,
                     [](const QString& step, const QString& kind, const QString& message) {
                       std::fprintf(stderr, "%s: %s: %s\n", qPrintable(step), qPrintable(kind), qPrintable(message));
                     });
  }
  // Controls are created by class name; the trace from stored properties (60 steps across,
  // values up to 100) instead of its defaults.
  kyv::PropertyBag traceSettings;
  traceSettings.WriteProperty("HorizCount", int16_t{60});
  traceSettings.WriteProperty("MaxLimit", int16_t{100});
  bool created = bar->create(QStringLiteral("KyvVStatus.Kyvvstat"));
  created = counter->create(QStringLiteral("Kyv4Digit.fourseg")) && created;
  created = trace->restore(QStringLiteral("KyvPulse.HeartBeat"), traceSettings) && created;
  created = graph->create(QStringLiteral("KyvMovingBars.KyvMovingBar")) && created;
  for (kyvqt::ControlWidget* widget : {bar, counter, trace, graph}) {
    widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // each at its design size
    row->addWidget(widget, 0, Qt::AlignTop);
  }

  int tick = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++tick;
    const auto level = static_cast<int16_t>(50 + 45 * std::sin(tick / 6.0));
    // Errors a control raises stay here: nothing may escape a Qt slot.
    try {
      kyv::Variant reading(level);
      bar->call("incbar", reading);
      kyv::Variant count(int32_t{tick});
      counter->call("send", count);
      static const int16_t pulse[] = {42, 45, 43, 48, 40, 44, 35, 93, 8, 44, 47, 43};
      kyv::Variant beat(pulse[tick % 12]);
      trace->call("Plot", beat);
      kyv::Variant value(level);
      graph->call("MoveBar", value);
    } catch (const kyv::Error& e) {
      std::fprintf(stderr, "qt-window: %s\n", e.what());
    }
    if (!screenshot.isEmpty() && tick == 60) {
      const bool written = window.grab().save(screenshot, "PNG");
      std::printf(written ? "wrote %s\n" : "cannot write %s\n", qPrintable(screenshot));
      QApplication::exit(written && created ? 0 : 1);
    }
  });
  timer.start(screenshot.isEmpty() ? 100 : 1);
  window.show();
  return QApplication::exec();
}
