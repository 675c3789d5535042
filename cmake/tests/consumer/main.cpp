// Every typed widget in one window, each fed one reading; every control class created by
// name; and one typed control called directly. Prints the C++ standard it was built as
// and "ok" when everything worked. Runs on any Qt platform (offscreen in the tests).
#include <kyv/Kyvvstat.h>
#include <kyv/control.h>
#include <kyv/error.h>
#include <kyv/qt/Widgets.h>
#include <kyv/registry.h>

#include <QApplication>
#include <QGridLayout>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int errors = 0;

template <class Widget>
Widget* place(QGridLayout& grid, int cell) {
  auto* widget = new Widget;
  QObject::connect(widget, &kyvqt::ControlWidget::errorOccurred,
                   [](const QString& step, const QString& kind, const QString& message) {
                     std::fprintf(stderr, "%s: %s: %s\n", qPrintable(step), qPrintable(kind), qPrintable(message));
                     ++errors;
                   });
  grid.addWidget(widget, cell / 4, cell % 4);
  return widget;
}

bool everyClassByName() {
  kyv::Registry registry;
  const std::vector<std::string> names{"KyvVStatus.Kyvvstat", "KyvHStatus.Hstat",        "Kyv1Digit.sseg",
                                       "Kyv4Digit.fourseg",   "Kyv6Digit.sixseg",        "KyvMovingBars.KyvMovingBar",
                                       "KyvPulse.HeartBeat",  "KyvMultiBars.KyvMultiBar"};
  for (const std::string& name : names) {
    kyv::ControlPtr control = registry.create(name);
    if (!control) return false;
  }
  kyv::Kyvvstat bar;
  bar.setExtent(405, 4260);
  bar.InitProperties();
  int16_t reading = 120;
  bar.incbar(reading);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  QGridLayout grid(&window);
  bool fed = place<kyvqt::KyvvstatWidget>(grid, 0)->incbar(30);
  fed = place<kyvqt::HstatWidget>(grid, 1)->incbar(70) && fed;
  fed = place<kyvqt::SsegWidget>(grid, 2)->send(7) && fed;
  fed = place<kyvqt::FoursegWidget>(grid, 3)->send(1234) && fed;
  fed = place<kyvqt::SixsegWidget>(grid, 4)->send(123456) && fed;
  fed = place<kyvqt::KyvMovingBarWidget>(grid, 5)->MoveBar(40) && fed;
  fed = place<kyvqt::HeartBeatWidget>(grid, 6)->Plot(25) && fed;
  fed = place<kyvqt::KyvMultiBarWidget>(grid, 7)->Value(3, 60) && fed;
  window.show();
  QApplication::processEvents();
  const bool painted = !window.grab().isNull();
  bool created = false;
  try {
    created = everyClassByName();
  } catch (const kyv::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  std::printf("C++ %ld\n", static_cast<long>(__cplusplus));
  if (!fed || !painted || !created || errors != 0) return 1;
  std::printf("ok\n");
  return 0;
}
