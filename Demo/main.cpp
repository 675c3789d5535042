// KyvDemo: the demonstration program.
//
//   KyvDemo                                   the main window
//   KyvDemo --screenshot FILE [--start-all] [--seconds N]
//                                             headless: writes the window as PNG and exits
//
// With --screenshot the program runs on Qt's offscreen platform (unless QT_QPA_PLATFORM
// names another), presses every Start button when asked, waits N seconds (default 5 with
// --start-all, else 0) and writes FILE. Started without a display, it does the same with
// every feed running and writes kyvdemo.png in the current directory.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "AboutBox.h"
#include "Form1.h"

namespace {

struct Options {
  std::optional<QString> screenshot;
  bool startAll = false;
  std::optional<int> seconds;
};

const char* const kUsage = "usage: KyvDemo [--screenshot FILE [--start-all] [--seconds N]]\n";

bool parseSeconds(const char* text, int& seconds) {
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || n < 0 || n > 3600) return false;
  seconds = static_cast<int>(n);
  return true;
}

// Parses the command line; prints the problem and returns nothing when it is wrong.
std::optional<Options> parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      std::exit(0);
    }
    if (arg == "--screenshot" && i + 1 < argc) {
      o.screenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--start-all") {
      o.startAll = true;
    } else if (arg == "--seconds" && i + 1 < argc) {
      int n = 0;
      if (!parseSeconds(argv[++i], n)) {
        std::fprintf(stderr, "KyvDemo: --seconds takes a whole number from 0 to 3600\n%s", kUsage);
        return std::nullopt;
      }
      o.seconds = n;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return std::nullopt;
    }
  }
  if (!o.screenshot && (o.startAll || o.seconds)) {
    std::fprintf(stderr, "KyvDemo: --start-all and --seconds go with --screenshot\n%s", kUsage);
    return std::nullopt;
  }
  return o;
}

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

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = parse(argc, argv);
  if (!options) return 2;
  if (!options->screenshot && noDisplay()) {
    std::printf("KyvDemo: no display; running every feed offscreen and writing a screenshot instead\n");
    options->screenshot = QStringLiteral("kyvdemo.png");
    options->startAll = true;
  }
  if (options->screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  kyvdemo::setApplicationIdentity();
  kyvdemo::Form1 form;
  if (options->screenshot) return screenshot(form, *options);
  form.show();
  return QApplication::exec();
}
