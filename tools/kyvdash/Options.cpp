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
  const QCommandLineOption scale(QStringLiteral("scale"),
                                 QStringLiteral("Show the layout <factor> times larger (0.25 to 8); without it a full "
                                                "screen, and a snapshot given --size, fit the layout to the screen."),
                                 QStringLiteral("factor"));
  const QCommandLineOption size(
      QStringLiteral("size"),
      QStringLiteral("With --snapshot: a picture of <width>x<height> pixels, the layout fitted "
                     "and centred in it."),
      QStringLiteral("WxH"));
  p.addOptions({fullscreen, kiosk, dark, snapshot, every, after, check, registry, scale, size});
  addServeOptions(p);
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
  if (p.isSet(snapshot)) {
    o.snapshot = p.value(snapshot);
    if (!o.snapshot->endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !o.snapshot->endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
      return fail(QStringLiteral("--snapshot takes a .png or .svg file"));
  }
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
  if (p.isSet(scale)) {
    bool ok = false;
    const double f = p.value(scale).toDouble(&ok);
    if (!ok || !(f >= 0.25 && f <= 8)) return fail(QStringLiteral("--scale takes a factor from 0.25 to 8"));
    o.scale = f;
  }
  if (p.isSet(size)) {
    const QStringList wh = p.value(size).split(u'x');
    bool w = false, h = false;
    const QSize s(wh.size() == 2 ? wh[0].toInt(&w) : 0, wh.size() == 2 ? wh[1].toInt(&h) : 0);
    if (!w || !h || s.width() < 16 || s.height() < 16 || s.width() > 16384 || s.height() > 16384)
      return fail(QStringLiteral("--size takes WIDTHxHEIGHT in pixels, each from 16 to 16384"));
    if (!p.isSet(snapshot)) return fail(QStringLiteral("--size goes with --snapshot"));
    o.size = s;
  }
  if (!o.snapshot && (p.isSet(every) || p.isSet(after)))
    return fail(QStringLiteral("--every and --after go with --snapshot"));
  if (o.snapshot && (o.fullscreen || o.kiosk))
    return fail(QStringLiteral("--snapshot runs headless: no --fullscreen or --kiosk"));
  if (o.check && (o.snapshot || o.fullscreen || o.kiosk)) return fail(QStringLiteral("--check goes alone"));
  if (const QString problem = readServeOptions(p, o.serve); !problem.isEmpty()) return fail(problem);
  if (o.serve.serve && (o.snapshot || o.check))
    return fail(QStringLiteral("--serve goes without --snapshot and --check"));
  return Parsed::Run;
}

}  // namespace kyvdash
