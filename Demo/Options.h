#pragma once
// KyvDemo's command line:
//
//   KyvDemo                                   the main window
//   KyvDemo --screenshot FILE [--start-all] [--seconds N]
//                                             headless: writes the window as PNG and exits
//   KyvDemo --soak SECONDS [--interval MS] [--report SECONDS]
//                                             headless: runs every feed for SECONDS and
//                                             reports memory, status line and answers
//   KyvDemo --help | --version
#include <QString>
#include <QStringList>
#include <optional>

namespace kyvdemo {

struct Options {
  bool help = false;     // --help: the usage, on standard output
  bool version = false;  // --version: "KyvDemo X.Y.Z"
  // --screenshot: the PNG to write; --start-all presses every Start button first;
  // --seconds: how long to wait before the picture (0 to 3600).
  std::optional<QString> screenshot;
  bool startAll = false;
  std::optional<int> seconds;
  // --soak: how long every feed runs (1 to 86400 s); --interval: the interval every feed
  // timer runs at after Start (1 to 60000 ms; without it each keeps its own); --report: the
  // seconds between two reports (1 to 3600, default 10).
  std::optional<int> soakSeconds;
  std::optional<int> intervalMs;
  std::optional<int> reportSeconds;
};

// The usage line, and the whole --help text.
extern const char* const kUsage;
extern const char* const kHelp;

// The options `arguments` give (the program name left out); nothing when they are wrong,
// with the problem in `error`.
std::optional<Options> parseOptions(const QStringList& arguments, QString* error);

}  // namespace kyvdemo
