#include "Layout.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "FieldReader.h"
#include "LabelFormat.h"
#include "kyv/error.h"
#include "kyv/palette.h"

namespace kyvdash {
namespace {

using nlohmann::json;

QString text(const std::string& s) { return QString::fromStdString(s); }

// "a, b or c".
QString oneOf(const QStringList& names) {
  return names.size() < 2
             ? names.join(QString())
             : names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + names.back();
}

void readSource(const std::string& name, const json& j, QStringList& errors, LayoutSource& s) {
  s.name = text(name);
  s.raw = QByteArray::fromStdString(json{{name, j}}.dump());
  const FieldReader p(errors, QStringLiteral("source \"%1\"").arg(s.name));
  if (!j.is_object()) return p.add(QStringLiteral("type"), QStringLiteral("the source must be an object"));
  const std::optional<QString> type = p.string(j, "type", QStringLiteral("type"), true);
  if (!type) return;
  s.kind = findSourceKind(*type);
  if (!s.kind) {
    QStringList names;
    for (const SourceKind& k : sourceKinds()) names << k.name;
    return p.add(QStringLiteral("type"), QStringLiteral("must be %1").arg(oneOf(names)));
  }
  s.settings = s.kind->read(j, p);
}

// The height of the strip a multi-bar's column names are written in when the layout gives
// none: a line of a label's text.
constexpr double kColumnNamesHeight = 240;

// `"match": {"device": "eth0"}`: label names and values, texts, at least one pair.
void readMatch(const json& j, const FieldReader& p, const QString& field, LayoutFeed& f) {
  bool ok = j.is_object() && !j.empty();
  if (ok)
    for (const auto& [name, value] : j.items()) ok = ok && !name.empty() && value.is_string();
  if (!ok) return p.add(field, QStringLiteral("must be an object of LABEL: \"VALUE\", at least one"));
  for (const auto& [name, value] : j.items()) f.match[text(name)] = text(value.get<std::string>());
}

// `"columns": {"by": "device", "names": [left, top, width, height]}`.
void readColumns(const json& j, const FieldReader& p, const QString& field, const QRectF& control, LayoutFeed& f) {
  if (!j.is_object()) return p.add(field, QStringLiteral("must be an object: {\"by\": LABEL}"));
  p.unknownMembers(j, field + u'.', {"by", "names"});
  LayoutColumns c;
  c.by = p.string(j, "by", field + QStringLiteral(".by"), true).value_or(QString());
  c.names = QRectF(control.left(), control.bottom(), control.width(), kColumnNamesHeight);
  if (j.contains("names")) c.names = p.rect(j, "names", field + QStringLiteral(".names")).value_or(c.names);
  if (!c.by.isEmpty()) f.columns = c;
}

// What a feed's `match` and `columns` need: a source whose fields give labelled series, and
// (columns) a control's feed that selects no column of its own.
void checkSeriesMembers(const json& j, const LayoutSource* source, const FieldReader& p, const QString& prefix,
                        const QRectF* control) {
  for (const char* member : {"match", "columns"}) {
    if (!j.contains(member) || !source || !source->settings) continue;
    if (source->settings->seriesKind() != SeriesKind::Values)
      p.add(prefix + QLatin1String(member),
            QStringLiteral("source \"%1\" gives no labelled series to choose among (a prometheus-query does)")
                .arg(source->name));
  }
  if (!j.contains("columns")) return;
  if (!control)
    p.add(prefix + QStringLiteral("columns"),
          QStringLiteral("goes with a control's feed (a multi-bar), not a label's"));
  else if (j.contains("column"))
    p.add(prefix + QStringLiteral("columns"), QStringLiteral("goes without column: a series a column is chosen"));
}

// `control`: the rectangle of the control the feed is of; null for a label's feed.
void readFeed(const json& j, const Layout& layout, const FieldReader& p, const QString& prefix, LayoutFeed& f,
              const QRectF* control = nullptr) {
  if (!j.is_object()) return p.add(prefix.chopped(1), QStringLiteral("must be an object"));
  f.at = prefix;
  p.unknownMembers(j, prefix, {"source", "field", "scale", "offset", "method", "column", "stale", "match", "columns"});
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
  if (source && source->settings && !f.field.isEmpty())
    if (const QString problem = source->settings->fieldProblem(f.field); !problem.isEmpty())
      p.add(prefix + QStringLiteral("field"), problem);
  f.scale = p.number(j, "scale", prefix + QStringLiteral("scale"), -1e12, 1e12).value_or(1);
  f.offset = p.number(j, "offset", prefix + QStringLiteral("offset"), -1e12, 1e12).value_or(0);
  f.method = p.string(j, "method", prefix + QStringLiteral("method"), false).value_or(QString());
  if (std::optional<double> c = p.number(j, "column", prefix + QStringLiteral("column"), -32768, 32767)) {
    if (*c != std::floor(*c))
      p.add(prefix + QStringLiteral("column"), QStringLiteral("must be a whole number"));
    else
      f.column = static_cast<int>(*c);
  }
  if (j.contains("match")) readMatch(j["match"], p, prefix + QStringLiteral("match"), f);
  if (j.contains("columns") && control) readColumns(j["columns"], p, prefix + QStringLiteral("columns"), *control, f);
  checkSeriesMembers(j, source, p, prefix, control);
  f.staleAfter = p.number(j, "stale", prefix + QStringLiteral("stale"), 0, kMaxSeconds, true);
  // A source may go stale by its nature (a server's answers after a few rounds without one).
  if (!j.contains("stale") && source && source->settings) f.staleAfter = source->settings->staleAfter();
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

void checkPlaceholders(const LayoutAction& a, const FieldReader& p, const QString& field) {
  QStringList unknown;
  for (const QString& text : a.kind == LayoutAction::Kind::Run ? a.command : QStringList{a.text})
    unknown << unknownPlaceholders(text);
  if (!unknown.isEmpty())
    p.add(field, QStringLiteral("unknown placeholder %1 (known: {time}, {control}, {event}, {value})")
                     .arg(unknown.join(QStringLiteral(", "))));
}

void readAction(const json& j, const FieldReader& p, const QString& prefix, LayoutAction& a) {
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

void readEvents(const json& j, const FieldReader& p, LayoutControl& c) {
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

void readProperties(const json& j, const FieldReader& p, LayoutControl& c) {
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
  if (j.is_object()) {
    json rest = j;
    rest.erase("rect");
    c.rawBesideRect = QByteArray::fromStdString(rest.dump());
  }
  const FieldReader p(errors,
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
        readFeed(feed[i], layout, p, QStringLiteral("feed[%1].").arg(i), c.feeds.emplace_back(), &c.rect);
    } else {
      readFeed(feed, layout, p, QStringLiteral("feed."), c.feeds.emplace_back(), &c.rect);
    }
    const auto withColumns =
        std::count_if(c.feeds.begin(), c.feeds.end(), [](const LayoutFeed& f) { return f.columns; });
    if (withColumns > 1) p.add(QStringLiteral("feed"), QStringLiteral("only one feed of a control may have columns"));
  }
  if (j.contains("on")) readEvents(j["on"], p, c);
}

void readLabel(const json& j, size_t index, const Layout& layout, QStringList& errors, LayoutLabel& l) {
  const FieldReader p(errors, QStringLiteral("labels[%1]").arg(index));
  l.raw = QByteArray::fromStdString(j.dump());
  if (!j.is_object()) return p.add(QStringLiteral("text"), QStringLiteral("a label must be an object"));
  p.unknownMembers(j, {}, {"text", "rect", "feed"});
  l.text = p.string(j, "text", QStringLiteral("text"), true).value_or(QString());
  l.rect = p.rect(j, "rect", QStringLiteral("rect")).value_or(QRectF());
  if (j.contains("feed")) readFeed(j["feed"], layout, p, QStringLiteral("feed."), l.feed.emplace());
  const LayoutSource* source = l.feed ? layout.source(l.feed->source) : nullptr;
  const bool alerts = source && source->settings && source->settings->seriesKind() == SeriesKind::Alerts;
  if (const QString problem = labelTextProblem(l.text, l.feed.has_value(), alerts); !problem.isEmpty())
    p.add(QStringLiteral("text"), problem);
}

// `j` with `{label}` in every text replaced by `value`; inside a feed's field (a query)
// the value is escaped as a PromQL string's text.
json substitutedJson(const json& j, const QString& label, const QString& value, bool field = false) {
  if (j.is_string()) {
    const QString text = QString::fromStdString(j.get<std::string>());
    return substituted(text, label, field ? promqlEscaped(value) : value).toStdString();
  }
  if (j.is_array()) {
    json out = json::array();
    for (const json& item : j) out.push_back(substitutedJson(item, label, value));
    return out;
  }
  if (!j.is_object()) return j;
  json out = json::object();
  for (const auto& [key, item] : j.items()) out[key] = substitutedJson(item, label, value, key == "field");
  return out;
}

// The group's own extent: its items' rectangles from the block's origin.
QSizeF groupExtent(const std::vector<LayoutControl>& controls, const std::vector<LayoutLabel>& labels) {
  QRectF all(0, 0, 1, 1);
  for (const LayoutControl& c : controls) all = all.united(c.rect);
  for (const LayoutLabel& l : labels) all = all.united(l.rect);
  return QSizeF(all.right(), all.bottom());
}

// The group's controls and labels read with `value` for the label, named NAME[VALUE] when
// `named`; their problems in `errors`.
void readGroup(const json& group, const Layout& layout, const QString& value, bool named, QStringList& errors,
               std::vector<LayoutControl>& controls, std::vector<LayoutLabel>& labels) {
  const json g = substitutedJson(group, layout.repeat->by, value);
  QSet<QString> names;
  for (const LayoutControl& c : layout.controls) names.insert(c.name.toLower());
  for (size_t i = 0; g.contains("controls") && i < g["controls"].size(); ++i) {
    json c = g["controls"][i];
    if (named && c.is_object() && c.contains("name") && c["name"].is_string())
      c["name"] = c["name"].get<std::string>() + '[' + value.toStdString() + ']';
    readControl(c, i, layout, names, errors, controls.emplace_back());
  }
  for (size_t i = 0; g.contains("labels") && i < g["labels"].size(); ++i)
    readLabel(g["labels"][i], i, layout, errors, labels.emplace_back());
}

bool isLabelName(const QString& name) {
  static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
  return pattern.match(name).hasMatch();
}

void readRepeatMembers(const json& j, const FieldReader& p, const Layout& layout, LayoutRepeat& r) {
  p.unknownMembers(
      j, {}, {"source", "query", "by", "max", "removeAfter", "arrange", "area", "gap", "size", "controls", "labels"});
  r.source = p.string(j, "source", QStringLiteral("source"), true).value_or(QString());
  const LayoutSource* s = layout.source(r.source);
  if (!r.source.isEmpty() && (!s || !s->settings || s->settings->seriesKind() != SeriesKind::Values))
    p.add(QStringLiteral("source"), QStringLiteral("must name a prometheus-query source of the layout"));
  r.query = p.string(j, "query", QStringLiteral("query"), true).value_or(QString());
  r.by = p.string(j, "by", QStringLiteral("by"), true).value_or(QString());
  static const QStringList taken{QStringLiteral("time"), QStringLiteral("control"), QStringLiteral("event"),
                                 QStringLiteral("value")};
  if (!r.by.isEmpty() && (!isLabelName(r.by) || r.by.startsWith(QLatin1String("__")) || taken.contains(r.by)))
    p.add(QStringLiteral("by"),
          QStringLiteral("must be a label's name, other than time, control, event and value (their placeholders)"));
  if (std::optional<double> m = p.number(j, "max", QStringLiteral("max"), 1, 1000)) {
    if (*m != std::floor(*m)) p.add(QStringLiteral("max"), QStringLiteral("must be a whole number"));
    r.max = static_cast<int>(*m);
  }
  r.removeAfter = p.number(j, "removeAfter", QStringLiteral("removeAfter"), 0, kMaxSeconds).value_or(r.removeAfter);
  if (std::optional<QString> a = p.string(j, "arrange", QStringLiteral("arrange"), false)) {
    if (*a == QLatin1String("rows"))
      r.arrangement = Arrangement::Rows;
    else if (*a != QLatin1String("tiles"))
      p.add(QStringLiteral("arrange"), QStringLiteral("must be \"tiles\" or \"rows\""));
  }
  if (j.contains("area")) r.area = p.rect(j, "area", QStringLiteral("area"));
  r.gap = p.number(j, "gap", QStringLiteral("gap"), 0, kMaxTwips).value_or(r.gap);
}

// The repeat member: its settings, and its group read once with the label's own name for
// the value, so that every problem of the group is found whether or not a block shows.
void readRepeat(const json& j, Layout& layout, QStringList& errors) {
  if (!j.is_object())
    return FieldReader(errors, QString()).add(QStringLiteral("repeat"), QStringLiteral("must be an object"));
  const FieldReader p(errors, QStringLiteral("repeat"));
  const qsizetype before = errors.size();
  LayoutRepeat& r = layout.repeat.emplace();
  readRepeatMembers(j, p, layout, r);
  if (!j.contains("controls") || !j["controls"].is_array() || j["controls"].empty())
    p.add(QStringLiteral("controls"), QStringLiteral("must be a list of at least one control"));
  if (j.contains("labels") && !j["labels"].is_array())
    p.add(QStringLiteral("labels"), QStringLiteral("must be a list of {text, rect}"));
  if (r.by.isEmpty() || errors.size() > before) return;
  json group = json::object();
  group["controls"] = j["controls"];
  group["labels"] = j.value("labels", json::array());
  r.group = group.dump();
  QStringList problems;
  std::vector<LayoutControl> controls;
  std::vector<LayoutLabel> labels;
  readGroup(group, layout, r.by, false, problems, controls, labels);
  for (const QString& problem : problems) errors << QStringLiteral("repeat: ") + problem;
  r.blockSize = groupExtent(controls, labels);
  if (j.contains("size"))
    if (std::optional<QRectF> size = p.rect(j, "size", QStringLiteral("size"), true)) r.blockSize = size->size();
}

void readControls(const json& doc, Layout& layout, const FieldReader& file, QStringList& errors) {
  if (!doc.contains("controls") || !doc["controls"].is_array() || doc["controls"].empty())
    return file.add(QStringLiteral("controls"), QStringLiteral("must be a list of at least one control"));
  QSet<QString> names;
  const json& list = doc["controls"];
  for (size_t i = 0; i < list.size(); ++i)
    readControl(list[i], i, layout, names, errors, layout.controls.emplace_back());
}

void readSources(const json& j, Layout& layout, const FieldReader& file, QStringList& errors) {
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
  if (size && !repeat) return *size;
  constexpr double kMargin = 120;
  QRectF all;
  for (const LayoutControl& c : controls) {
    all = all.united(c.rect);
    for (const LayoutFeed& f : c.feeds)
      if (f.columns) all = all.united(f.columns->names);
  }
  for (const LayoutLabel& l : labels) all = all.united(l.rect);
  for (const LayoutBlock& b : blocks) all = all.united(b.rect);
  const QSizeF content(all.right() + kMargin, all.bottom() + kMargin);
  if (!size) return content;
  // The blocks, however many, make a screen of the size's aspect, which the display scales to fit.
  const double aspect = size->width() / size->height();
  return content.width() / content.height() < aspect ? QSizeF(content.height() * aspect, content.height())
                                                     : QSizeF(content.width(), content.width() / aspect);
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
  const FieldReader file(errors, QString());
  if (!doc.is_object()) {
    errors << QStringLiteral("the file is not a JSON object");
    return layout;
  }
  file.unknownMembers(doc, {}, {"title", "size", "background", "sources", "controls", "labels", "history", "repeat"});
  layout.title = file.string(doc, "title", QStringLiteral("title"), false).value_or(QString());
  layout.history = file.string(doc, "history", QStringLiteral("history"), false).value_or(QString());
  if (doc.contains("size"))
    if (std::optional<QRectF> r = file.rect(doc, "size", QStringLiteral("size"), true)) layout.size = r->size();
  if (std::optional<QString> bg = file.string(doc, "background", QStringLiteral("background"), false)) {
    if (QColor::isValidColorName(*bg))
      layout.background = QColor::fromString(*bg);
    else
      file.add(QStringLiteral("background"), QStringLiteral("must be a colour such as \"#203040\" or \"black\""));
  }
  if (doc.contains("sources")) readSources(doc["sources"], layout, file, errors);
  if (doc.contains("repeat")) readRepeat(doc["repeat"], layout, errors);
  // A layout of repeated blocks may have no controls of its own.
  if (doc.contains("controls") || !doc.contains("repeat")) readControls(doc, layout, file, errors);
  if (doc.contains("labels")) {
    const json& list = doc["labels"];
    if (!list.is_array())
      file.add(QStringLiteral("labels"), QStringLiteral("must be a list of {text, rect}"));
    else
      for (size_t i = 0; i < list.size(); ++i) readLabel(list[i], i, layout, errors, layout.labels.emplace_back());
  }
  return layout;
}

Layout expandRepeat(const Layout& layout, const QStringList& values, int more, QStringList& errors) {
  Layout out = layout;
  if (!layout.repeat) return out;
  const LayoutRepeat& r = *layout.repeat;
  constexpr double kMargin = 120;
  QRectF fixed;
  for (const LayoutControl& c : layout.controls) fixed = fixed.united(c.rect);
  for (const LayoutLabel& l : layout.labels) fixed = fixed.united(l.rect);
  const QPointF origin =
      r.area ? r.area->topLeft() : QPointF(kMargin, fixed.isNull() ? kMargin : fixed.bottom() + r.gap);
  // Without an area the blocks fill the layout's size below the rest, or a 16:9 screen.
  const QSizeF area = r.area ? r.area->size()
                      : layout.size
                          ? QSizeF(layout.size->width() - 2 * kMargin, layout.size->height() - origin.y() - kMargin)
                          : QSizeF(16, 9);
  const int cells = static_cast<int>(values.size()) + (more > 0 ? 1 : 0);
  const QSizeF cell = r.blockSize + QSizeF(r.gap, r.gap);
  const int columns = gridColumns(r.arrangement, cell, area.isEmpty() ? QSizeF(16, 9) : area, cells);
  const std::vector<QPointF> places = blockPlaces(origin, r.blockSize, r.gap, columns, cells);
  const json group = json::parse(r.group);
  for (qsizetype i = 0; i < values.size(); ++i) {
    QStringList problems;
    std::vector<LayoutControl> controls;
    std::vector<LayoutLabel> labels;
    readGroup(group, out, values[i], true, problems, controls, labels);
    if (!problems.isEmpty()) {
      for (const QString& problem : problems) errors << QStringLiteral("repeat: %1: %2").arg(values[i], problem);
      continue;
    }
    const int block = static_cast<int>(out.blocks.size());
    out.blocks.push_back({values[i], QRectF(places[i], r.blockSize)});
    for (LayoutControl& c : controls) {
      c.rect.translate(places[i]);
      c.block = block;
      out.controls.push_back(std::move(c));
    }
    for (LayoutLabel& l : labels) {
      l.rect.translate(places[i]);
      l.block = block;
      out.labels.push_back(std::move(l));
    }
  }
  if (more > 0) {
    out.moreLabel = static_cast<int>(out.labels.size());
    out.labels.push_back(
        {QStringLiteral("+%1 more").arg(more), QRectF(places.back(), r.blockSize), std::nullopt, {}, -1});
  }
  return out;
}

}  // namespace kyvdash
