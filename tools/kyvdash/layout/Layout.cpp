#include "Layout.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <cmath>
#include <nlohmann/json.hpp>

#include "LabelFormat.h"
#include "ProcStats.h"
#include "PromText.h"
#include "ShellWords.h"
#include "kyv/error.h"
#include "kyv/palette.h"

namespace kyvdash {
namespace {

using nlohmann::json;

constexpr double kMaxTwips = 1e6;
constexpr double kMaxSeconds = 86400;

QString text(const std::string& s) { return QString::fromStdString(s); }
QString decimal(double v) { return QString::number(v, 'g', 15); }

// Collects the problems of one owner (a control, a source, a label, or the file itself),
// each as `OWNER: FIELD: what is wrong`.
class Problems {
 public:
  Problems(QStringList& errors, QString owner) : errors_(errors), owner_(std::move(owner)) {}

  void add(const QString& field, const QString& what) const {
    errors_ << (owner_.isEmpty() ? field : owner_ + QStringLiteral(": ") + field) + QStringLiteral(": ") + what;
  }

  // Members of `object` outside `known` are mistakes (a misspelt member would do nothing).
  void unknownMembers(const json& object, const QString& prefix, std::initializer_list<const char*> known) const {
    for (const auto& [key, value] : object.items()) {
      bool found = false;
      for (const char* k : known) found = found || key == k;
      if (found) continue;
      QStringList names;
      for (const char* k : known) names << QLatin1String(k);
      add(prefix + text(key), QStringLiteral("unknown member (known: %1)").arg(names.join(QStringLiteral(", "))));
    }
  }

  std::optional<QString> string(const json& object, const char* key, const QString& field, bool required) const {
    if (!object.contains(key)) {
      if (required) add(field, QStringLiteral("missing"));
      return std::nullopt;
    }
    const json& v = object[key];
    if (!v.is_string() || v.get<std::string>().empty()) {
      add(field, QStringLiteral("must be a text that is not empty"));
      return std::nullopt;
    }
    return text(v.get<std::string>());
  }

  // A number from `low` to `high`; `aboveLow` excludes `low` itself.
  std::optional<double> number(const json& object, const char* key, const QString& field, double low, double high,
                               bool aboveLow = false) const {
    if (!object.contains(key)) return std::nullopt;
    const json& v = object[key];
    const double n = v.is_number() ? v.get<double>() : std::nan("");
    if (!v.is_number() || !std::isfinite(n)) {
      add(field, QStringLiteral("must be a number"));
      return std::nullopt;
    }
    if (n < low || n > high || (aboveLow && n == low)) {
      add(field, aboveLow ? QStringLiteral("must be above %1 and at most %2").arg(decimal(low), decimal(high))
                          : QStringLiteral("must be from %1 to %2").arg(decimal(low), decimal(high)));
      return std::nullopt;
    }
    return n;
  }

  // [left, top, width, height] in twips, or [width, height] with `sizeOnly`.
  std::optional<QRectF> rect(const json& object, const char* key, const QString& field, bool sizeOnly = false) const {
    const char* shape = sizeOnly ? "[width, height] in twips" : "[left, top, width, height] in twips";
    if (!object.contains(key)) {
      add(field, QStringLiteral("missing; give %1").arg(QLatin1String(shape)));
      return std::nullopt;
    }
    const json& v = object[key];
    const size_t n = sizeOnly ? 2 : 4;
    bool ok = v.is_array() && v.size() == n;
    for (size_t i = 0; ok && i < n; ++i) ok = v[i].is_number() && std::isfinite(v[i].get<double>());
    if (!ok) {
      add(field, QStringLiteral("must be %1").arg(QLatin1String(shape)));
      return std::nullopt;
    }
    const double l = sizeOnly ? 0 : v[0].get<double>(), t = sizeOnly ? 0 : v[1].get<double>();
    const double w = v[n - 2].get<double>(), h = v[n - 1].get<double>();
    if (l < 0 || t < 0 || l > kMaxTwips || t > kMaxTwips) {
      add(field, QStringLiteral("left and top must be from 0 to %1 twips").arg(decimal(kMaxTwips)));
      return std::nullopt;
    }
    if (w <= 0 || h <= 0 || w > kMaxTwips || h > kMaxTwips) {
      add(field, QStringLiteral("width and height must be above 0 and at most %1 twips").arg(decimal(kMaxTwips)));
      return std::nullopt;
    }
    return QRectF(l, t, w, h);
  }

  // A command as a list of words, or one text split as a shell would (without running one).
  std::optional<QStringList> command(const json& v, const QString& field) const {
    QStringList words;
    if (v.is_string()) {
      QString problem;
      std::optional<QStringList> split = splitShellWords(text(v.get<std::string>()), &problem);
      if (!split) {
        add(field, QStringLiteral("cannot be split into words: %1").arg(problem));
        return std::nullopt;
      }
      words = *split;
    } else if (v.is_array())
      for (const json& w : v) {
        if (!w.is_string()) {
          words.clear();
          break;
        }
        words << text(w.get<std::string>());
      }
    if (words.isEmpty() || words.front().isEmpty()) {
      add(field, QStringLiteral("must be a command: a list of words or a text, not empty"));
      return std::nullopt;
    }
    return words;
  }

 private:
  QStringList& errors_;
  QString owner_;
};

const std::map<std::string, SourceKind> kSourceKinds = {{"stdin", SourceKind::Stdin},
                                                        {"file", SourceKind::File},
                                                        {"proc", SourceKind::Proc},
                                                        {"prometheus", SourceKind::Prometheus},
                                                        {"prometheus-query", SourceKind::PrometheusQuery},
                                                        {"command", SourceKind::Command}};

void readFileSource(const json& j, const Problems& p, LayoutSource& s) {
  p.unknownMembers(j, {}, {"type", "path", "format", "separator", "poll"});
  s.path = p.string(j, "path", QStringLiteral("path"), true).value_or(QString());
  const QString format =
      p.string(j, "format", QStringLiteral("format"), false)
          .value_or(s.path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? QStringLiteral("csv")
                                                                                : QStringLiteral("lines"));
  if (format != QLatin1String("csv") && format != QLatin1String("lines"))
    p.add(QStringLiteral("format"), QStringLiteral("must be \"csv\" or \"lines\""));
  s.csv = format == QLatin1String("csv");
  if (std::optional<QString> sep = p.string(j, "separator", QStringLiteral("separator"), false)) {
    if (sep->size() != 1)
      p.add(QStringLiteral("separator"), QStringLiteral("must be one character"));
    else
      s.separator = sep->front();
  }
  s.poll = p.number(j, "poll", QStringLiteral("poll"), 0.05, 3600).value_or(s.poll);
}

void readSource(const std::string& name, const json& j, QStringList& errors, LayoutSource& s) {
  s.name = text(name);
  s.raw = QByteArray::fromStdString(json{{name, j}}.dump());
  const Problems p(errors, QStringLiteral("source \"%1\"").arg(s.name));
  if (!j.is_object()) return p.add(QStringLiteral("type"), QStringLiteral("the source must be an object"));
  const std::optional<QString> type = p.string(j, "type", QStringLiteral("type"), true);
  if (!type) return;
  const auto kind = kSourceKinds.find(type->toStdString());
  if (kind == kSourceKinds.end())
    return p.add(QStringLiteral("type"),
                 QStringLiteral("must be stdin, file, proc, prometheus, prometheus-query or command"));
  s.kind = kind->second;
  switch (s.kind) {
    case SourceKind::Stdin: return p.unknownMembers(j, {}, {"type"});
    case SourceKind::File: return readFileSource(j, p, s);
    case SourceKind::Proc:
      p.unknownMembers(j, {}, {"type", "interval"});
      s.interval = p.number(j, "interval", QStringLiteral("interval"), 0.1, kMaxSeconds).value_or(s.interval);
      return;
    case SourceKind::Prometheus:
    case SourceKind::PrometheusQuery: {
      p.unknownMembers(j, {}, {"type", "url", "interval", "timeout", "limit"});
      s.interval = p.number(j, "interval", QStringLiteral("interval"), 0.1, kMaxSeconds).value_or(5);
      s.limit = p.number(j, "limit", QStringLiteral("limit"), 0, 10000, true).value_or(s.limit);
      s.timeout = p.number(j, "timeout", QStringLiteral("timeout"), 0.1, 600).value_or(std::min(10.0, s.interval));
      s.url = p.string(j, "url", QStringLiteral("url"), true).value_or(QString());
      const QUrl url(s.url, QUrl::StrictMode);
      if (!s.url.isEmpty() &&
          (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
           url.host().isEmpty()))
        p.add(QStringLiteral("url"), QStringLiteral("must be an http:// or https:// address"));
      return;
    }
    case SourceKind::Command:
      p.unknownMembers(j, {}, {"type", "command"});
      if (!j.contains("command")) return p.add(QStringLiteral("command"), QStringLiteral("missing"));
      s.command = p.command(j["command"], QStringLiteral("command")).value_or(QStringList());
      return;
  }
}

// The field must make sense for the kind of source it is read from.
void checkField(const LayoutSource& source, const LayoutFeed& f, const Problems& p, const QString& prefix) {
  QString problem;
  if (source.kind == SourceKind::Proc && !isProcField(f.field))
    p.add(prefix + QStringLiteral("field"),
          QStringLiteral("\"%1\" is not a reading of a proc source (cpu, cpuN, mem, swap, load1, load5, load15, "
                         "net.rx, net.tx, net.IFACE.rx, net.IFACE.tx, disk.read, disk.write, disk.DEV.read, "
                         "disk.DEV.write)")
              .arg(f.field));
  else if (source.kind == SourceKind::Prometheus && !parseScrapeField(f.field, &problem))
    p.add(prefix + QStringLiteral("field"), QStringLiteral("not a metric selector: %1").arg(problem));
}

void readFeed(const json& j, const Layout& layout, const Problems& p, const QString& prefix, LayoutFeed& f) {
  if (!j.is_object()) return p.add(prefix.chopped(1), QStringLiteral("must be an object"));
  f.at = prefix;
  p.unknownMembers(j, prefix, {"source", "field", "scale", "offset", "method", "column", "stale"});
  f.source = p.string(j, "source", prefix + QStringLiteral("source"), true).value_or(QString());
  const LayoutSource* source = f.source.isEmpty() ? nullptr : layout.source(f.source);
  if (!f.source.isEmpty() && !source) {
    QStringList names;
    for (const LayoutSource& s : layout.sources) names << s.name;
    p.add(prefix + QStringLiteral("source"),
          QStringLiteral("no source is named \"%1\" (sources: %2)")
              .arg(f.source, names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
  }
  f.field = p.string(j, "field", prefix + QStringLiteral("field"), true).value_or(QString());
  if (source && !f.field.isEmpty()) checkField(*source, f, p, prefix);
  f.scale = p.number(j, "scale", prefix + QStringLiteral("scale"), -1e12, 1e12).value_or(1);
  f.offset = p.number(j, "offset", prefix + QStringLiteral("offset"), -1e12, 1e12).value_or(0);
  f.method = p.string(j, "method", prefix + QStringLiteral("method"), false).value_or(QString());
  if (std::optional<double> c = p.number(j, "column", prefix + QStringLiteral("column"), -32768, 32767)) {
    if (*c != std::floor(*c))
      p.add(prefix + QStringLiteral("column"), QStringLiteral("must be a whole number"));
    else
      f.column = static_cast<int>(*c);
  }
  f.staleAfter = p.number(j, "stale", prefix + QStringLiteral("stale"), 0, kMaxSeconds, true);
  // A server's answers go stale after three rounds without one, unless the feed says otherwise.
  if (!j.contains("stale") && source && source->kind == SourceKind::PrometheusQuery)
    f.staleAfter = 3 * source->interval;
}

// `{NAME}` in an action's text or command word must be one of the placeholders; braces
// around anything else (`{print $1}`) are text.
QStringList unknownPlaceholders(const QString& text) {
  static const QRegularExpression placeholder(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)\\}"));
  QStringList unknown;
  for (const QRegularExpressionMatch& m : placeholder.globalMatch(text)) {
    const QString name = m.captured(1);
    if (name != QLatin1String("time") && name != QLatin1String("control") && name != QLatin1String("event") &&
        name != QLatin1String("value"))
      unknown << m.captured(0);
  }
  return unknown;
}

void checkPlaceholders(const LayoutAction& a, const Problems& p, const QString& field) {
  QStringList unknown;
  for (const QString& text : a.kind == LayoutAction::Kind::Run ? a.command : QStringList{a.text})
    unknown << unknownPlaceholders(text);
  if (!unknown.isEmpty())
    p.add(field, QStringLiteral("unknown placeholder %1 (known: {time}, {control}, {event}, {value})")
                     .arg(unknown.join(QStringLiteral(", "))));
}

void readAction(const json& j, const Problems& p, const QString& prefix, LayoutAction& a) {
  if (!j.is_object()) return p.add(prefix.chopped(1), QStringLiteral("an action must be an object"));
  p.unknownMembers(j, prefix, {"print", "log", "run", "text", "timeout", "holdoff"});
  const int kinds = int(j.contains("print")) + int(j.contains("log")) + int(j.contains("run"));
  if (kinds != 1)
    return p.add(prefix.chopped(1), QStringLiteral("an action must have exactly one of print, log and run"));
  a.holdoff = p.number(j, "holdoff", prefix + QStringLiteral("holdoff"), 0, kMaxSeconds).value_or(a.holdoff);
  a.text = QString::fromLatin1(kDefaultActionText);
  if (j.contains("print")) {
    a.kind = LayoutAction::Kind::Print;
    if (!j["print"].is_boolean() || !j["print"].get<bool>())
      a.text = p.string(j, "print", prefix + QStringLiteral("print"), true).value_or(a.text);
    if (j.contains("text"))
      p.add(prefix + QStringLiteral("text"), QStringLiteral("goes with log; print takes its text itself"));
  } else if (j.contains("log")) {
    a.kind = LayoutAction::Kind::Log;
    a.path = p.string(j, "log", prefix + QStringLiteral("log"), true).value_or(QString());
    a.text = p.string(j, "text", prefix + QStringLiteral("text"), false).value_or(a.text);
  } else {
    a.kind = LayoutAction::Kind::Run;
    a.command = p.command(j["run"], prefix + QStringLiteral("run")).value_or(QStringList());
    a.timeout = p.number(j, "timeout", prefix + QStringLiteral("timeout"), 0, 3600, true).value_or(a.timeout);
    if (j.contains("text")) p.add(prefix + QStringLiteral("text"), QStringLiteral("goes with log, not with run"));
  }
  if (a.kind != LayoutAction::Kind::Run && j.contains("timeout"))
    p.add(prefix + QStringLiteral("timeout"), QStringLiteral("goes with run"));
  const char* textField = a.kind == LayoutAction::Kind::Run                         ? "run"
                          : a.kind == LayoutAction::Kind::Log && j.contains("text") ? "text"
                          : a.kind == LayoutAction::Kind::Log                       ? "log"
                                                                                    : "print";
  checkPlaceholders(a, p, prefix + QLatin1String(textField));
}

void readEvents(const json& j, const Problems& p, LayoutControl& c) {
  if (!j.is_object()) return p.add(QStringLiteral("on"), QStringLiteral("must be an object of EVENT: action(s)"));
  for (const auto& [event, actions] : j.items()) {
    LayoutEvent e;
    e.event = text(event);
    const QString base = QStringLiteral("on.") + e.event;
    if (actions.is_array()) {
      if (actions.empty()) p.add(base, QStringLiteral("must hold at least one action"));
      for (size_t i = 0; i < actions.size(); ++i)
        readAction(actions[i], p, QStringLiteral("%1[%2].").arg(base).arg(i), e.actions.emplace_back());
    } else {
      readAction(actions, p, base + QStringLiteral("."), e.actions.emplace_back());
    }
    c.on.push_back(std::move(e));
  }
}

// "#RRGGBB" in a property's value is the colour 0x00BBGGRR, as the controls store colours.
json colourValues(json list) {
  if (!list.is_array()) return list;
  for (json& pair : list) {
    if (!pair.is_array() || pair.size() != 2 || !pair[1].is_string()) continue;
    const QString v = text(pair[1].get<std::string>());
    bool ok = v.size() == 7 && v.startsWith(u'#');
    const uint rgb = ok ? v.mid(1).toUInt(&ok, 16) : 0;
    if (ok) pair[1] = kyv::swapRedBlue(rgb);
  }
  return list;
}

void readProperties(const json& j, const Problems& p, LayoutControl& c) {
  try {
    c.properties = kyv::PropertyBag::fromJson(json{{"properties", colourValues(j)}}.dump());
  } catch (const kyv::Error& e) {
    const QString why = QString::fromUtf8(e.what());
    p.add(QStringLiteral("properties"), why.mid(why.indexOf(QLatin1String("bag: ")) + 5));
  }
}

void readControl(const json& j, size_t index, const Layout& layout, QSet<QString>& names, QStringList& errors,
                 LayoutControl& c) {
  const bool named =
      j.is_object() && j.contains("name") && j["name"].is_string() && !j["name"].get<std::string>().empty();
  c.name = named ? text(j["name"].get<std::string>()) : QString();
  c.raw = QByteArray::fromStdString(j.dump());
  const Problems p(errors,
                   named ? QStringLiteral("control \"%1\"").arg(c.name) : QStringLiteral("controls[%1]").arg(index));
  if (!j.is_object()) return p.add(QStringLiteral("name"), QStringLiteral("a control must be an object"));
  if (!named)
    p.add(QStringLiteral("name"),
          j.contains("name") ? QStringLiteral("must be a text that is not empty") : QStringLiteral("missing"));
  else if (names.contains(c.name.toLower()))
    p.add(QStringLiteral("name"), QStringLiteral("used by an earlier control"));
  names.insert(c.name.toLower());
  p.unknownMembers(j, {}, {"name", "class", "rect", "properties", "feed", "on"});
  c.className = p.string(j, "class", QStringLiteral("class"), true).value_or(QString());
  c.rect = p.rect(j, "rect", QStringLiteral("rect")).value_or(QRectF());
  if (j.contains("properties")) readProperties(j["properties"], p, c);
  if (j.contains("feed")) {
    const json& feed = j["feed"];
    if (feed.is_array()) {
      if (feed.empty()) p.add(QStringLiteral("feed"), QStringLiteral("must hold at least one feed"));
      for (size_t i = 0; i < feed.size(); ++i)
        readFeed(feed[i], layout, p, QStringLiteral("feed[%1].").arg(i), c.feeds.emplace_back());
    } else {
      readFeed(feed, layout, p, QStringLiteral("feed."), c.feeds.emplace_back());
    }
  }
  if (j.contains("on")) readEvents(j["on"], p, c);
}

void readLabel(const json& j, size_t index, const Layout& layout, QStringList& errors, LayoutLabel& l) {
  const Problems p(errors, QStringLiteral("labels[%1]").arg(index));
  if (!j.is_object()) return p.add(QStringLiteral("text"), QStringLiteral("a label must be an object"));
  p.unknownMembers(j, {}, {"text", "rect", "feed"});
  l.text = p.string(j, "text", QStringLiteral("text"), true).value_or(QString());
  l.rect = p.rect(j, "rect", QStringLiteral("rect")).value_or(QRectF());
  if (j.contains("feed")) readFeed(j["feed"], layout, p, QStringLiteral("feed."), l.feed.emplace());
  if (const QString problem = labelTextProblem(l.text, l.feed.has_value()); !problem.isEmpty())
    p.add(QStringLiteral("text"), problem);
}

void readSources(const json& j, Layout& layout, const Problems& file, QStringList& errors) {
  if (!j.is_object()) return file.add(QStringLiteral("sources"), QStringLiteral("must be an object of NAME: source"));
  for (const auto& [name, source] : j.items()) readSource(name, source, errors, layout.sources.emplace_back());
}

// nlohmann's message without its "[json.exception.parse_error.101] " prefix.
QString parseMessage(const json::parse_error& e) {
  const QString what = QString::fromUtf8(e.what());
  const qsizetype end = what.indexOf(QLatin1String("] "));
  return end < 0 ? what : what.mid(end + 2);
}

}  // namespace

const LayoutSource* Layout::source(const QString& name) const {
  for (const LayoutSource& s : sources)
    if (s.name == name) return &s;
  return nullptr;
}

QSizeF Layout::extent() const {
  if (size) return *size;
  constexpr double kMargin = 120;
  QRectF all;
  for (const LayoutControl& c : controls) all = all.united(c.rect);
  for (const LayoutLabel& l : labels) all = all.united(l.rect);
  return QSizeF(all.right() + kMargin, all.bottom() + kMargin);
}

Layout parseLayout(const QByteArray& bytes, QStringList& errors) {
  Layout layout;
  json doc;
  try {
    doc = json::parse(bytes.begin(), bytes.end());
  } catch (const json::parse_error& e) {
    errors << QStringLiteral("the file is not JSON: ") + parseMessage(e);
    return layout;
  }
  const Problems file(errors, QString());
  if (!doc.is_object()) {
    errors << QStringLiteral("the file is not a JSON object");
    return layout;
  }
  file.unknownMembers(doc, {}, {"title", "size", "background", "sources", "controls", "labels"});
  layout.title = file.string(doc, "title", QStringLiteral("title"), false).value_or(QString());
  if (doc.contains("size"))
    if (std::optional<QRectF> r = file.rect(doc, "size", QStringLiteral("size"), true)) layout.size = r->size();
  if (std::optional<QString> bg = file.string(doc, "background", QStringLiteral("background"), false)) {
    if (QColor::isValidColorName(*bg))
      layout.background = QColor::fromString(*bg);
    else
      file.add(QStringLiteral("background"), QStringLiteral("must be a colour such as \"#203040\" or \"black\""));
  }
  if (doc.contains("sources")) readSources(doc["sources"], layout, file, errors);
  if (!doc.contains("controls") || !doc["controls"].is_array() || doc["controls"].empty()) {
    file.add(QStringLiteral("controls"), QStringLiteral("must be a list of at least one control"));
  } else {
    QSet<QString> names;
    const json& list = doc["controls"];
    for (size_t i = 0; i < list.size(); ++i)
      readControl(list[i], i, layout, names, errors, layout.controls.emplace_back());
  }
  if (doc.contains("labels")) {
    const json& list = doc["labels"];
    if (!list.is_array())
      file.add(QStringLiteral("labels"), QStringLiteral("must be a list of {text, rect}"));
    else
      for (size_t i = 0; i < list.size(); ++i) readLabel(list[i], i, layout, errors, layout.labels.emplace_back());
  }
  return layout;
}

}  // namespace kyvdash
