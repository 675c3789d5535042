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

// The options of the screen itself (serving has its own, in ServeOptions).
struct ScreenOptions {
  QCommandLineOption fullscreen{QStringLiteral("fullscreen"), QStringLiteral("Show the dashboard full screen.")};
  QCommandLineOption kiosk{QStringLiteral("kiosk"),
                           QStringLiteral("Full screen for a wall display: no pointer, no status line.")};
  QCommandLineOption dark{QStringLiteral("dark"), QStringLiteral("Use a dark palette.")};
  QCommandLineOption snapshot{QStringLiteral("snapshot"),
                              QStringLiteral("Run headless and write the screen to <file> (.png or .svg), "
                                             "replacing it atomically."),
                              QStringLiteral("file")};
  QCommandLineOption every{QStringLiteral("every"),
                           QStringLiteral("With --snapshot: write it again every <seconds> (at least 0.1) "
                                          "and keep running; without it the snapshot is written once."),
                           QStringLiteral("seconds")};
  QCommandLineOption after{QStringLiteral("after"),
                           QStringLiteral("With --snapshot: wait <seconds> before the first one (default 2), "
                                          "so that rates have two readings."),
                           QStringLiteral("seconds")};
  QCommandLineOption check{QStringLiteral("check"), QStringLiteral("Check the layout file and exit.")};
  QCommandLineOption registry{QStringLiteral("registry"),
                              QStringLiteral("The registration file of the control classes (default: the "
                                             "one beside the Kyv framework library)."),
                              QStringLiteral("file")};
  QCommandLineOption scale{QStringLiteral("scale"),
                           QStringLiteral("Show the layout <factor> times larger (0.25 to 8); without it a full "
                                          "screen, and a snapshot given --size, fit the layout to the screen."),
                           QStringLiteral("factor")};
  QCommandLineOption size{QStringLiteral("size"),
                          QStringLiteral("With --snapshot: a picture of <width>x<height> pixels, the layout fitted "
                                         "and centred in it."),
                          QStringLiteral("WxH")};
};

// The values of the screen's options, each checked alone; the problem, or empty.
QString readValues(const QCommandLineParser& p, const ScreenOptions& s, Options& o) {
  o.layout = p.positionalArguments().front();
  o.fullscreen = p.isSet(s.fullscreen);
  o.kiosk = p.isSet(s.kiosk);
  o.dark = p.isSet(s.dark);
  o.check = p.isSet(s.check);
  if (p.isSet(s.snapshot)) {
    o.snapshot = p.value(s.snapshot);
    if (!o.snapshot->endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !o.snapshot->endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
      return QStringLiteral("--snapshot takes a .png or .svg file");
  }
  if (p.isSet(s.registry)) o.registry = p.value(s.registry);
  if (p.isSet(s.every)) {
    o.every = seconds(p.value(s.every), 0.1);
    if (!o.every) return QStringLiteral("--every takes seconds from 0.1 to 86400");
  }
  if (p.isSet(s.after)) {
    const std::optional<double> a = seconds(p.value(s.after), 0);
    if (!a) return QStringLiteral("--after takes seconds from 0 to 86400");
    o.after = *a;
  }
  if (p.isSet(s.scale)) {
    bool ok = false;
    const double f = p.value(s.scale).toDouble(&ok);
    if (!ok || !(f >= 0.25 && f <= 8)) return QStringLiteral("--scale takes a factor from 0.25 to 8");
    o.scale = f;
  }
  if (p.isSet(s.size)) {
    const QStringList wh = p.value(s.size).split(u'x');
    bool w = false, h = false;
    const QSize size(wh.size() == 2 ? wh[0].toInt(&w) : 0, wh.size() == 2 ? wh[1].toInt(&h) : 0);
    if (!w || !h || size.width() < 16 || size.height() < 16 || size.width() > 16384 || size.height() > 16384)
      return QStringLiteral("--size takes WIDTHxHEIGHT in pixels, each from 16 to 16384");
    o.size = size;
  }
  return readServeOptions(p, o.serve);
}

// What the options given together make no sense as; empty when they do.
QString conflicts(const QCommandLineParser& p, const ScreenOptions& s, const Options& o) {
  if (o.size && !o.snapshot) return QStringLiteral("--size goes with --snapshot");
  if (!o.snapshot && (p.isSet(s.every) || p.isSet(s.after)))
    return QStringLiteral("--every and --after go with --snapshot");
  if (o.snapshot && (o.fullscreen || o.kiosk))
    return QStringLiteral("--snapshot runs headless: no --fullscreen or --kiosk");
  if (o.check && (o.snapshot || o.fullscreen || o.kiosk)) return QStringLiteral("--check goes alone");
  if (o.serve.serve && (o.snapshot || o.check)) return QStringLiteral("--serve goes without --snapshot and --check");
  return {};
}

}  // namespace

Parsed parseOptions(const QStringList& arguments, Options& o, QString* message) {
  QCommandLineParser p;
  p.setApplicationDescription(QString::fromLatin1(kDescription));
  const QCommandLineOption help = p.addHelpOption();
  const QCommandLineOption version = p.addVersionOption();
  const ScreenOptions screen;
  p.addOptions({screen.fullscreen, screen.kiosk, screen.dark, screen.snapshot, screen.every, screen.after, screen.check,
                screen.registry, screen.scale, screen.size});
  addServeOptions(p);
  p.addPositionalArgument(QStringLiteral("layout"), QStringLiteral("The layout file (see docs/kyvdash.md)."));

  const auto fail = [&](const QString& problem) {
    *message = problem + QStringLiteral("\nusage: kyvdash [options] LAYOUT   (kyvdash --help for more)\n");
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
  if (const QString problem = readValues(p, screen, o); !problem.isEmpty()) return fail(problem);
  if (const QString problem = conflicts(p, screen, o); !problem.isEmpty()) return fail(problem);
  return Parsed::Run;
}

}  // namespace kyvdash
