#include "Options.h"

#include <algorithm>

namespace kyvdemo {

const char* const kUsage =
    "usage: KyvDemo [--screenshot FILE [--start-all] [--seconds N]]\n"
    "       KyvDemo --soak SECONDS [--interval MS] [--report SECONDS]\n"
    "       KyvDemo --help | --version\n";

const char* const kHelp =
    "\n"
    "Shows the Kyv controls in a window, fed by timers. Without a display it runs every feed\n"
    "offscreen and writes kyvdemo.png in the current folder instead.\n"
    "\n"
    "options:\n"
    "  --screenshot FILE  run headless, write the window as PNG to FILE and exit\n"
    "  --start-all        with --screenshot: press every Start button first\n"
    "  --seconds N        with --screenshot: wait N seconds before the picture (0 to 3600;\n"
    "                     default 5 with --start-all, else 0)\n"
    "  --soak SECONDS     run headless with every feed started for SECONDS (1 to 86400),\n"
    "                     report memory and the status line, check every control at the end\n"
    "  --interval MS      with --soak: run every feed timer at MS milliseconds (1 to 60000)\n"
    "  --report SECONDS   with --soak: seconds between two reports (1 to 3600, default 10)\n"
    "  -h, --help         print this help and exit\n"
    "  --version          print the version and exit\n"
    "\n"
    "exit status: 0 when all went well; 1 when the screenshot cannot be written or the soak\n"
    "run finds an error; 2 for wrong options\n";

namespace {

// A whole number from `low` to `high`, written in decimal digits alone.
std::optional<int> wholeNumber(const QString& text, int low, int high) {
  bool ok = false;
  const int n = text.toInt(&ok, 10);
  const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
  if (!ok || !digits || n < low || n > high) return std::nullopt;
  return n;
}

struct NumberOption {
  const char* name;
  int low, high;
  std::optional<int> Options::*field;
};

constexpr NumberOption kNumberOptions[] = {
    {"--seconds", 0, 3600, &Options::seconds},
    {"--soak", 1, 86400, &Options::soakSeconds},
    {"--interval", 1, 60000, &Options::intervalMs},
    {"--report", 1, 3600, &Options::reportSeconds},
};

const NumberOption* numberOption(const QString& arg) {
  for (const NumberOption& o : kNumberOptions)
    if (arg == QLatin1String(o.name)) return &o;
  return nullptr;
}

// The options that go together: each mode's own, never two modes at once.
QString checkCombination(const Options& o) {
  if (o.screenshot && o.soakSeconds) return QStringLiteral("--screenshot and --soak do not go together");
  if (!o.screenshot && (o.startAll || o.seconds))
    return QStringLiteral("--start-all and --seconds go with --screenshot");
  if (!o.soakSeconds && (o.intervalMs || o.reportSeconds))
    return QStringLiteral("--interval and --report go with --soak");
  return {};
}

}  // namespace

std::optional<Options> parseOptions(const QStringList& arguments, QString* error) {
  Options o;
  const auto fail = [&](const QString& problem) -> std::optional<Options> {
    *error = problem;
    return std::nullopt;
  };
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      o.help = true;
    } else if (arg == QLatin1String("--version")) {
      o.version = true;
    } else if (arg == QLatin1String("--screenshot") && hasValue) {
      o.screenshot = arguments[++i];
    } else if (arg == QLatin1String("--start-all")) {
      o.startAll = true;
    } else if (const NumberOption* n = numberOption(arg); n && hasValue) {
      o.*(n->field) = wholeNumber(arguments[++i], n->low, n->high);
      if (!(o.*(n->field)))
        return fail(QStringLiteral("%1 takes a whole number from %2 to %3")
                        .arg(QLatin1String(n->name))
                        .arg(n->low)
                        .arg(n->high));
    } else {
      return fail(QStringLiteral("unknown or incomplete option: ") + arg);
    }
  }
  if (o.help || o.version) return o;
  if (const QString problem = checkCombination(o); !problem.isEmpty()) return fail(problem);
  return o;
}

}  // namespace kyvdemo
