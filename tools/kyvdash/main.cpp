// kyvdash: a live monitoring screen of Kyv controls from a layout file.
//
//   kyvdash LAYOUT                              the screen in a window
//   kyvdash --fullscreen|--kiosk LAYOUT         full screen, the layout scaled to fit it; kiosk
//                                               hides pointer and status line
//   kyvdash --scale N LAYOUT                    the layout N times larger
//   kyvdash --snapshot FILE [--every S] [--size WxH] LAYOUT
//                                               headless: writes the screen to FILE (PNG, SVG)
//   kyvdash --check LAYOUT                      checks the layout, warns of what may show wrong, exits
//   kyvdash --serve [ADDRESS:]PORT LAYOUT       headless: serves the screen live over HTTP
//                                               (with --window, --fullscreen, --kiosk also shown)
//
// Exit status: 0, 1 when the layout has errors (each printed; nothing starts) or a single
// snapshot cannot be written or shows no readings since every source failed, 2 for a wrong
// command line. Started without a display, it
// writes one snapshot to kyvdash.png instead of opening a window. SIGINT and SIGTERM end
// it cleanly, the commands it started with it.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "DashboardWindow.h"
#include "Options.h"
#include "OutputQueue.h"
#include "Runner.h"
#include "ScreenScale.h"
#include "SnapshotTimer.h"
#include "WebServer.h"
#include "kyv/registry.h"

using namespace kyvdash;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM quit the event loop, so that everything is ended in order.
void quitOnSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QApplication::quit(); });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool noDisplay() {
  return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
         qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// A line on standard output or error; a stalled reader never holds the screen up.
void say(FILE* to, const QString& line) {
  (to == stdout ? standardOutput() : standardError()).write(QStringLiteral("kyvdash: ") + line);
}

// The scale at which the dashboard fills the screen, less the status line outside kiosk mode.
double fullScreenFactor(const Dashboard& d, const QScreen& screen, bool kiosk) {
  const QSize room = screen.geometry().size() * screen.devicePixelRatio() - QSize(0, kiosk ? 0 : 32);
  return fitFactor(d.sizeHint(), room);
}

int snapshots(Runner& runner, const Options& o) {
  const QString path = QDir::toNativeSeparators(QFileInfo(*o.snapshot).absoluteFilePath());
  SnapshotTimer timer(runner, *o.snapshot, fromSeconds(o.after),
                      o.every ? std::optional<std::chrono::milliseconds>(fromSeconds(*o.every)) : std::nullopt);
  QObject::connect(&timer, &SnapshotTimer::wrote, &timer, [&] {
    if (timer.written() == 1)
      say(stdout, o.every ? QStringLiteral("writing %1 every %2 s").arg(path).arg(*o.every)
                          : QStringLiteral("snapshot written to %1").arg(path));
  });
  if (o.size) timer.setCanvas(*o.size);
  QObject::connect(&timer, &SnapshotTimer::failed, &timer, [](const QString& m) { say(stderr, m); });
  int status = 0;
  QObject::connect(&timer, &SnapshotTimer::finished, &timer, [&status, &runner](bool ok) {
    status = ok ? 0 : 1;
    if (ok && runner.everySourceFailing()) {
      say(stderr, QStringLiteral("every source failed; the snapshot shows no readings"));
      status = 1;
    }
    QApplication::quit();
  });
  timer.start();
  QApplication::exec();
  return status;
}

// Where the screen goes when there is no display to show it on: a snapshot instead of a
// window, or nowhere (serving with a window asked for cannot go on without one). Returns
// the exit status when it cannot go on.
std::optional<int> placeWithoutDisplay(Options& o, bool windowShown) {
  if (o.snapshot || o.check || !windowShown || !noDisplay()) return std::nullopt;
  // Serving with a window asked for: a snapshot in its place would stop the serving too, and
  // a service would seem to have ended well.
  if (o.serve.serve) {
    say(stderr, QStringLiteral("no display to show the window on; without --window, --fullscreen and --kiosk, "
                               "--serve runs without one"));
    return 1;
  }
  say(stdout, QStringLiteral("no display; writing one snapshot to kyvdash.png instead of opening a window"));
  o.snapshot = QStringLiteral("kyvdash.png");
  return std::nullopt;
}

// Checks the layout and says what it found: exit status 0 when it has no errors, else 1.
int checkOnly(Runner& runner, const Options& o) {
  QStringList errors, warnings;
  if (!runner.check(&errors, &warnings)) {
    for (const QString& e : errors) say(stderr, o.layout + QStringLiteral(": ") + e);
    return 1;
  }
  for (const QString& w : warnings) say(stdout, o.layout + QStringLiteral(": warning: ") + w);
  say(stdout, o.layout + (warnings.isEmpty() ? QStringLiteral(": no errors")
                                             : QStringLiteral(": no errors, %1 warnings").arg(warnings.size())));
  return 0;
}

// Starts serving the screen; null, having said why, when it cannot.
std::unique_ptr<WebServer> serve(Runner& runner, const ServeOptions& options) {
  auto web = std::make_unique<WebServer>(runner, options);
  QString error;
  if (!web->listen(&error)) {
    say(stderr, error);
    return nullptr;
  }
  say(stdout,
      QStringLiteral("serving %1 (%2)")
          .arg(web->pageUrl(), options.token     ? QStringLiteral("a token is required: the whole of it after ?token=")
                               : options.noToken ? QStringLiteral("no token: anyone who reaches it may look")
                                                 : QStringLiteral("loopback only")));
  return web;
}

// Runs the screen in a window (and served, when asked) until it is ended.
int showAndServe(Runner& runner, const Options& o, bool windowShown) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const bool full = o.fullscreen || o.kiosk;
  setScreenScale(screen, o.scale ? *o.scale : full ? fullScreenFactor(*runner.dashboard(), *screen, o.kiosk) : 1);
  // A screen of another size (a repeat's blocks come or go) fills the screen again.
  if (full && !o.scale)
    QObject::connect(&runner, &Runner::dashboardReplaced,
                     [screen, &o](Dashboard* d) { setScreenScale(screen, fullScreenFactor(*d, *screen, o.kiosk)); });
  std::unique_ptr<WebServer> web;
  if (o.serve.serve && !(web = serve(runner, o.serve))) return 1;
  if (!windowShown) return QApplication::exec();
  DashboardWindow window(runner, o.layout, o.kiosk);
  if (full) {
    window.fillScreen(screen);
  } else {
    if (!o.scale) window.scaleOnResize();
    window.show();
  }
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  Options o;
  QString message;
  switch (parseOptions(arguments, o, &message)) {
    case Parsed::Help:
    case Parsed::Version: std::printf("%s", message.toLocal8Bit().constData()); return 0;
    case Parsed::Error: std::fprintf(stderr, "kyvdash: %s", message.toLocal8Bit().constData()); return 2;
    case Parsed::Run: break;
  }
  const bool windowShown = !o.serve.serve || o.serve.window || o.fullscreen || o.kiosk;
  if (const std::optional<int> status = placeWithoutDisplay(o, windowShown)) return *status;
  if ((o.snapshot || o.check || !windowShown) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kyvdash"));
  QApplication::setApplicationVersion(QStringLiteral(KYVDASH_VERSION));
  if (o.dark) applyDarkPalette();
  quitOnSignals();

  std::optional<kyv::Registry> registry;
  if (o.registry) registry.emplace(o.registry->toStdString());
  Runner runner(o.layout, registry ? &*registry : nullptr);
  QObject::connect(&runner, &Runner::report, [](const QString& line) {
    say(stderr, QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' + line);
  });
  if (o.check) return checkOnly(runner, o);
  QStringList errors;
  if (!runner.start(&errors)) {
    for (const QString& e : errors) say(stderr, o.layout + QStringLiteral(": ") + e);
    return 1;
  }
  if (!o.snapshot) return showAndServe(runner, o, windowShown);
  setScreenScale(QGuiApplication::primaryScreen(), o.scale  ? *o.scale
                                                   : o.size ? fitFactor(runner.dashboard()->sizeHint(), *o.size)
                                                            : 1);
  // A snapshot of a given size fits the screen again when it changes size.
  if (o.size && !o.scale)
    QObject::connect(&runner, &Runner::dashboardReplaced, [&o](Dashboard* d) {
      setScreenScale(QGuiApplication::primaryScreen(), fitFactor(d->sizeHint(), *o.size));
    });
  return snapshots(runner, o);
}
