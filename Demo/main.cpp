// KyvDemo: the demonstration program.
//
//   KyvDemo                                   the main window
//   KyvDemo --screenshot FILE [--start-all] [--seconds N]
//                                             headless: writes the window as PNG and exits
//   KyvDemo --soak SECONDS [--interval MS] [--report SECONDS]
//                                             headless: runs every feed for SECONDS, reports
//                                             resident memory and the status line, and checks
//                                             at the end that every control still answers
//   KyvDemo --help | --version                the options, or the version, on standard output
//
// With --screenshot the program runs on Qt's offscreen platform (unless QT_QPA_PLATFORM
// names another), presses every Start button when asked, waits N seconds (default 5 with
// --start-all, else 0) and writes FILE. Started without a display, it does the same with
// every feed running and writes kyvdemo.png in the current directory.
//
// With --soak, on the same platform, it presses every Start button, sets every feed timer
// to MS milliseconds when --interval is given, prints a report line every --report seconds
// (default 10) and exits with 0 when the status line shows no error and every control
// answers, else 1.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <optional>

#include "AboutBox.h"
#include "Form1.h"
#include "Options.h"
#include "Soak.h"
#include "kyv/version.h"

using kyvdemo::Options;

namespace {

bool noDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
         qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
  return false;
#endif
}

int screenshot(kyvdemo::Form1& form, const Options& o) {
  form.show();
  if (o.startAll) form.startAll();
  const int seconds = o.seconds.value_or(o.startAll ? 5 : 0);
  int status = 0;
  QTimer::singleShot(seconds * 1000, &form, [&] {
    const QString path = QFileInfo(*o.screenshot).absoluteFilePath();
    if (form.grab().save(path, "PNG")) {
      std::printf("KyvDemo: screenshot written to %s\n", qPrintable(QDir::toNativeSeparators(path)));
    } else {
      std::fprintf(stderr, "KyvDemo: cannot write %s\n", qPrintable(QDir::toNativeSeparators(path)));
      status = 1;
    }
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}

int soak(kyvdemo::Form1& form, const Options& o) {
  using std::chrono::seconds;
  const kyvdemo::SoakSettings settings{seconds(*o.soakSeconds), o.intervalMs, seconds(o.reportSeconds.value_or(10))};
  kyvdemo::Soak run(form, settings, [](const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
  });
  QObject::connect(&run, &kyvdemo::Soak::finished, qApp, [] { QApplication::quit(); });
  form.show();
  run.start();
  QApplication::exec();
  return run.passed() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QString problem;
  std::optional<Options> options = kyvdemo::parseOptions(arguments, &problem);
  if (!options) {
    std::fprintf(stderr, "KyvDemo: %s\n%s", qPrintable(problem), kyvdemo::kUsage);
    return 2;
  }
  if (options->help) {
    std::printf("%s%s", kyvdemo::kUsage, kyvdemo::kHelp);
    return 0;
  }
  if (options->version) {
    std::printf("KyvDemo %s\n", KYV_VERSION_STRING);
    return 0;
  }
  const bool headless = options->screenshot || options->soakSeconds;
  if (!headless && noDisplay()) {
    std::printf("KyvDemo: no display; running every feed offscreen and writing a screenshot instead\n");
    options->screenshot = QStringLiteral("kyvdemo.png");
    options->startAll = true;
  }
  if ((options->screenshot || options->soakSeconds) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  kyvdemo::setApplicationIdentity();
  kyvdemo::Form1 form;
  if (options->soakSeconds) return soak(form, *options);
  if (options->screenshot) return screenshot(form, *options);
  form.show();
  return QApplication::exec();
}
