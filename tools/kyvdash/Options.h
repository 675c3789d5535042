#pragma once
// kyvdash's command line.
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "ServeOptions.h"

namespace kyvdash {

struct Options {
  QString layout;                   // the layout file
  bool fullscreen = false;          // the window fills the screen
  bool kiosk = false;               // full screen, no pointer, no status line
  bool dark = false;                // a dark palette (Fusion style)
  bool check = false;               // check the layout and exit
  std::optional<QString> snapshot;  // headless: the PNG or SVG file written
  std::optional<double> every;      // seconds between two snapshots; once when not given
  double after = 2;                 // seconds before the first snapshot
  std::optional<QString> registry;  // the registration file of the control classes
  std::optional<double> scale;      // a fixed scale; else full screen and --size fit the layout
  std::optional<QSize> size;        // with snapshot: the picture's size in pixels
  ServeOptions serve;               // serving the dashboard over HTTP
};

enum class Parsed { Run, Help, Version, Error };

// Reads `arguments` (the program name first). On Help, Version and Error, `message` holds
// the text to show: the help, the version line, or the problem followed by the usage line.
Parsed parseOptions(const QStringList& arguments, Options& options, QString* message);

}  // namespace kyvdash
