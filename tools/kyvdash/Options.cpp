#include "Options.h"

#include <QCommandLineParser>

namespace kyvdash {
namespace {

const char* const kDescription =
    "A live monitoring screen of Kyv controls, described by a layout file (JSON) that places\n"
    "each control and names the data source that feeds it. Without a display, or with\n"
    "--snapshot, it runs headless and writes the screen to a PNG or SVG file.";

// Seconds from `low` up, written as a decimal number.
std::optional<double> seconds(const QString& text, double low) {
  bool ok = false;
  const double s = text.toDouble(&ok);
  if (!ok || !(s >= low) || s > 86400) return std::nullopt;
  return s;
}

}  // namespace

Parsed parseOptions(const QStringList& arguments, Options& o, QString* message) {
  QCommandLineParser p;
  p.setApplicationDescription(QString::fromLatin1(kDescription));
  const QCommandLineOption help = p.addHelpOption();
  const QCommandLineOption version = p.addVersionOption();
  const QCommandLineOption fullscreen(QStringLiteral("fullscreen"), QStringLiteral("Show the dashboard full screen."));
  const QCommandLineOption kiosk(QStringLiteral("kiosk"),
                                 QStringLiteral("Full screen for a wall display: no pointer, no status line."));
  const QCommandLineOption dark(QStringLiteral("dark"), QStringLiteral("Use a dark palette."));
  const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                    QStringLiteral("Run headless and write the screen to <file> (.png or .svg), "
                                                   "replacing it atomically."),
                                    QStringLiteral("file"));
  const QCommandLineOption every(QStringLiteral("every"),
                                 QStringLiteral("With --snapshot: write it again every <seconds> (at least 0.1) "
                                                "and keep running; without it the snapshot is written once."),
                                 QStringLiteral("seconds"));
  const QCommandLineOption after(QStringLiteral("after"),
                                 QStringLiteral("With --snapshot: wait <seconds> before the first one (default 2), "
                                                "so that rates have two readings."),
                                 QStringLiteral("seconds"));
  const QCommandLineOption check(QStringLiteral("check"), QStringLiteral("Check the layout file and exit."));
  const QCommandLineOption registry(QStringLiteral("registry"),
                                    QStringLiteral("The registration file of the control classes (default: the "
                                                   "one beside the Kyv framework library)."),
                                    QStringLiteral("file"));
  p.addOptions({fullscreen, kiosk, dark, snapshot, every, after, check, registry});
  p.addPositionalArgument(QStringLiteral("layout"), QStringLiteral("The layout file (see docs/kyvdash.md)."));

  const QString usage = QStringLiteral("usage: kyvdash [options] LAYOUT   (kyvdash --help for more)\n");
  const auto fail = [&](const QString& problem) {
    *message = problem + u'\n' + usage;
    return Parsed::Error;
  };
  if (!p.parse(arguments)) return fail(p.errorText());
  if (p.isSet(help)) {
    // Without an application object yet, Qt does not know the program's name.
    *message = p.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("kyvdash"));
    return Parsed::Help;
  }
  if (p.isSet(version)) {
    *message = QStringLiteral("kyvdash %1\n").arg(QStringLiteral(KYVDASH_VERSION));
    return Parsed::Version;
  }
  if (p.positionalArguments().size() != 1) return fail(QStringLiteral("give one layout file"));
  o.layout = p.positionalArguments().front();
  o.fullscreen = p.isSet(fullscreen);
  o.kiosk = p.isSet(kiosk);
  o.dark = p.isSet(dark);
  o.check = p.isSet(check);
  if (p.isSet(snapshot)) o.snapshot = p.value(snapshot);
  if (p.isSet(registry)) o.registry = p.value(registry);
  if (p.isSet(every)) {
    o.every = seconds(p.value(every), 0.1);
    if (!o.every) return fail(QStringLiteral("--every takes seconds from 0.1 to 86400"));
  }
  if (p.isSet(after)) {
    const std::optional<double> a = seconds(p.value(after), 0);
    if (!a) return fail(QStringLiteral("--after takes seconds from 0 to 86400"));
    o.after = *a;
  }
  if (!o.snapshot && (p.isSet(every) || p.isSet(after))) return fail(QStringLiteral("--every and --after go with --snapshot"));
  if (o.snapshot && (o.fullscreen || o.kiosk)) return fail(QStringLiteral("--snapshot runs headless: no --fullscreen or --kiosk"));
  if (o.check && (o.snapshot || o.fullscreen || o.kiosk)) return fail(QStringLiteral("--check goes alone"));
  return Parsed::Run;
}

}  // namespace kyvdash
