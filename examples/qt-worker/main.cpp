// Three typed Kyv widgets fed by an acquisition thread. The thread only measures and emits
// signals; the widgets, and the controls inside them, stay on the GUI thread, where Qt
// delivers each reading through a queued connection to the widgets' slots.
//
//   qt-worker                      the window, until it is closed
//   qt-worker --screenshot FILE    shows 120 readings, writes the window as PNG and exits
#include <kyv/qt/Widgets.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <initializer_list>

// Takes a reading every `interval` milliseconds on the thread it lives in: here a level
// that swings between 5 and 95.
class Acquisition : public QObject {
  Q_OBJECT

 public:
  explicit Acquisition(int interval) : interval_(interval) {}

  // Starts taking readings; runs on the acquisition thread.
  void start() {
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &Acquisition::measure);
    timer_->start(interval_);
  }
  // Stops taking readings; runs on the acquisition thread as it finishes.
  void stop() {
    delete timer_;
    timer_ = nullptr;
  }

 signals:
  // A new reading, emitted on the acquisition thread.
  void reading(int level, int count);

 private:
  void measure() {
    ++count_;
    emit reading(static_cast<int>(std::lround(50 + 45 * std::sin(count_ / 8.0))), count_);
  }

  int interval_;
  int count_ = 0;
  QTimer* timer_ = nullptr;
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
  const QString screenshot = option > 0 && option + 1 < arguments.size() ? arguments[option + 1] : QString();

  QWidget window;
  window.setWindowTitle(QStringLiteral("Kyv fed by a worker thread"));
  auto* row = new QHBoxLayout(&window);
  auto* bar = new kyvqt::KyvvstatWidget;
  auto* counter = new kyvqt::FoursegWidget;
  auto* trace = new kyvqt::HeartBeatWidget;
  trace->setHorizCount(60);
  trace->setMaxLimit(100);
  bool failed = false;
  for (kyvqt::TypedWidget* widget : std::initializer_list<kyvqt::TypedWidget*>{bar, counter, trace}) {
    // A rejected reading is reported here; the widget goes on with the next one.
    QObject::connect(widget, &kyvqt::ControlWidget::errorOccurred,
                     [&failed](const QString& step, const QString& kind, const QString& message) {
                       std::fprintf(stderr, "%s: %s: %s\n", qPrintable(step), qPrintable(kind), qPrintable(message));
                       failed = true;
                     });
    widget->setKeepReadingOnResize(true);  // a resized window keeps showing the readings
    widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(widget, 0, Qt::AlignTop);
  }
  if (!bar->control() || !counter->control() || !trace->control()) failed = true;
  QObject::connect(bar, &kyvqt::KyvvstatWidget::maxThreshReached, bar,
                   [bar] { bar->setToolTip(QStringLiteral("Above %1").arg(bar->MaxThreshold())); });

  QThread thread;
  Acquisition acquisition(screenshot.isEmpty() ? 100 : 1);
  acquisition.moveToThread(&thread);
  QObject::connect(&thread, &QThread::started, &acquisition, &Acquisition::start);
  QObject::connect(&thread, &QThread::finished, &acquisition, &Acquisition::stop, Qt::DirectConnection);
  // The sender lives on another thread: these connections are queued, and the slots run
  // on the GUI thread, in the order the readings were taken.
  QObject::connect(&acquisition, &Acquisition::reading, bar, &kyvqt::KyvvstatWidget::incbar);
  QObject::connect(&acquisition, &Acquisition::reading, trace, &kyvqt::HeartBeatWidget::Plot);
  QObject::connect(&acquisition, &Acquisition::reading, counter,
                   [counter](int, int count) { counter->send(count % 10000); });
  if (!screenshot.isEmpty()) {
    QObject::connect(&acquisition, &Acquisition::reading, &window, [&](int, int count) {
      if (count != 120) return;
      thread.quit();
      const bool written = window.grab().save(screenshot, "PNG");
      std::printf(written ? "wrote %s\n" : "cannot write %s\n", qPrintable(screenshot));
      QApplication::exit(written && !failed ? 0 : 1);
    });
  }
  thread.start();
  window.show();
  const int status = QApplication::exec();
  thread.quit();
  thread.wait();
  return status;
}

#include "main.moc"
