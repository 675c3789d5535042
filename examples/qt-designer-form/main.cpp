// A monitoring form laid out in Qt Designer (MonitorForm.ui) with Kyv's typed widgets: a
// tank level, a packet counter, a load history, a pulse trace and six channel levels. uic
// builds the form at compile time; a timer feeds the widgets through their slots, and the
// tank's and the load's signals write the status line.
//
//   qt-designer-form                      the form, until it is closed
//   qt-designer-form --screenshot FILE    runs 60 ticks, writes the form as PNG and exits
#include <QApplication>
#include <QTime>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "ui_MonitorForm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
  const QString screenshot = option > 0 && option + 1 < arguments.size() ? arguments[option + 1] : QString();

  QWidget window;
  Ui::MonitorForm ui;
  ui.setupUi(&window);

  // A widget whose control cannot be created, or that refuses a reading, says so here;
  // the slots never throw.
  bool failed = false;
  for (kyvqt::TypedWidget* widget : window.findChildren<kyvqt::TypedWidget*>()) {
    QObject::connect(widget, &kyvqt::TypedWidget::errorOccurred,
                     [&failed, widget](const QString& step, const QString& kind, const QString& message) {
                       std::fprintf(stderr, "%s: %s: %s: %s\n", qPrintable(widget->objectName()), qPrintable(step),
                                    qPrintable(kind), qPrintable(message));
                       failed = true;
                     });
  }
  const auto say = [&ui](const QString& text) {
    ui.status->setText(QStringLiteral("Last alarm: ") + QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) +
                       text);
  };
  QObject::connect(ui.tank, &kyvqt::KyvvstatWidget::maxThreshReached, [&] { say(QStringLiteral("Tank above 80")); });
  QObject::connect(ui.tank, &kyvqt::KyvvstatWidget::minThreshReached, [&] { say(QStringLiteral("Tank below 10")); });
  QObject::connect(ui.load, &kyvqt::KyvMovingBarWidget::maxLimitReached,
                   [&] { say(QStringLiteral("Load at its limit")); });

  int tick = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++tick;
    const int level = static_cast<int>(50 + 45 * std::sin(tick / 6.0));
    ui.tank->incbar(level);
    ui.packets->send(tick * 37 % 10000);
    static const int beat[] = {42, 45, 43, 48, 40, 44, 35, 93, 8, 44, 47, 43};
    ui.pulse->Plot(beat[tick % 12]);
    ui.load->MoveBar(static_cast<int>(60 + 40 * std::sin(tick / 4.0)));
    ui.channels->Value(tick % 6, static_cast<int>(50 + 45 * std::sin(tick / 3.0 + tick % 6)));
    if (!screenshot.isEmpty() && tick == 60) {
      const bool written = window.grab().save(screenshot, "PNG");
      std::printf(written ? "wrote %s\n" : "cannot write %s\n", qPrintable(screenshot));
      QApplication::exit(written && !failed ? 0 : 1);
    }
  });
  timer.start(screenshot.isEmpty() ? 100 : 1);
  window.show();
  return QApplication::exec();
}
