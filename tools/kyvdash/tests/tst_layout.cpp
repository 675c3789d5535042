// The layout file: what a good file gives, and the message of every error it can hold.
#include <QTest>

#include "ClassCheck.h"
#include "CommandSource.h"
#include "FileSource.h"
#include "Layout.h"
#include "ProcSource.h"
#include "PromSource.h"
#include "kyv/qt/ControlWidget.h"

using namespace kyvdash;

namespace {

// What the kind of source `name` read of it.
template <class Settings>
const Settings& settingsOf(const Layout& l, const char* name) {
  return dynamic_cast<const Settings&>(*l.source(QLatin1String(name))->settings);
}

// JSON written with ' for " so that it reads without escapes (\\' in C++ gives \" in JSON).
QByteArray j(const char* text) { return QByteArray(text).replace('\'', '"'); }

// A layout with one standard input source "in" and the control written out in `control`
// (a JSON object text); `sources` replaces the sources when given.
QByteArray withControl(const QString& control,
                       const QString& sources = QString::fromUtf8(j("{'in': {'type': 'stdin'}}"))) {
  return QString::fromUtf8(j("{'sources': %1, 'controls': [%2]}")).arg(sources, control).toUtf8();
}

// A status bar named "bar" fed by in.x, with `extra` members added.
QByteArray bar(const QString& extra = {}) {
  return withControl(QString::fromUtf8(j("{'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
                                         " 'feed': {'source': 'in', 'field': 'x'}%1}"))
                         .arg(extra.isEmpty() ? QString() : QStringLiteral(", ") + extra));
}

QByteArray withSource(const QString& source, const QString& field = QStringLiteral("cpu")) {
  return withControl(QString::fromUtf8(j("{'name': 'bar', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, 405, 4260],"
                                         " 'feed': {'source': 's', 'field': '%1'}}"))
                         .arg(field),
                     QString::fromUtf8(j("{'s': %1}")).arg(source));
}

QStringList parseErrors(const QByteArray& text) {
  QStringList errors;
  parseLayout(text, errors);
  return errors;
}

QStringList classErrors(const QByteArray& text) {
  QStringList errors;
  const Layout layout = parseLayout(text, errors);
  if (errors.isEmpty()) checkClasses(layout, kyvqt::ControlWidget::defaultRegistry(), errors);
  return errors;
}

}  // namespace

class TestLayout : public QObject {
  Q_OBJECT

 private slots:
  void aGoodLayout() {
    const QByteArray text =
        j("{"
          " 'title': 'Plant', 'size': [9000, 6000], 'background': '#102030',"
          " 'sources': {'in': {'type': 'stdin'},"
          " 'log': {'type': 'file', 'path': '/var/log/plant.csv', 'poll': 0.5},"
          " 'tail': {'type': 'file', 'path': '/var/log/plant.log', 'format': 'csv', 'separator': ';'},"
          " 'box': {'type': 'proc'},"
          " 'prom': {'type': 'prometheus', 'url': 'http://127.0.0.1:9100/metrics', 'interval': 15},"
          " 'cmd': {'type': 'command', 'command': 'vmstat -n 1'}},"
          " 'labels': [{'text': 'Pressure', 'rect': [0, 0, 900, 300]}],"
          " 'controls': ["
          " {'name': 'p', 'class': 'KyvVStatus.Kyvvstat', 'rect': [15, 300, 405, 4260],"
          " 'properties': [['Maxlimit', 200], ['FillColor', '#FF8000']],"
          " 'feed': {'source': 'in', 'field': 'pressure', 'scale': 0.5, 'offset': -3, 'stale': 10},"
          " 'on': {'MaxThreshReached': [{'print': true}, {'log': '/tmp/p.log', 'holdoff': 5},"
          " {'run': ['notify', '{control} is at {value}'], 'timeout': 3}]}},"
          " {'name': 'm', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [600, 300, 2100, 1305],"
          " 'feed': [{'source': 'box', 'field': 'cpu', 'column': 0}, {'source': 'prom', 'field': 'up{job=\\'node\\'}', "
          "'column': 1}]}"
          " ]}");
    QStringList errors;
    const Layout l = parseLayout(text, errors);
    QCOMPARE(errors, QStringList());
    QCOMPARE(l.title, QStringLiteral("Plant"));
    QCOMPARE(l.extent(), QSizeF(9000, 6000));
    QCOMPARE(*l.background, QColor(0x10, 0x20, 0x30));
    QCOMPARE(l.sources.size(), size_t(6));
    QVERIFY(settingsOf<FileSettings>(l, "log").csv);  // by its extension
    QCOMPARE(settingsOf<FileSettings>(l, "log").poll, 0.5);
    QVERIFY(settingsOf<FileSettings>(l, "tail").csv);
    QCOMPARE(settingsOf<FileSettings>(l, "tail").separator, QChar(u';'));
    QCOMPARE(settingsOf<ProcSettings>(l, "box").interval, 1.0);
    QCOMPARE(settingsOf<PrometheusSettings>(l, "prom").http.interval, 15.0);
    QCOMPARE(settingsOf<PrometheusSettings>(l, "prom").http.timeout, 10.0);
    QCOMPARE(settingsOf<CommandSettings>(l, "cmd").command, QStringList({"vmstat", "-n", "1"}));
    QCOMPARE(l.labels.front().rect, QRectF(0, 0, 900, 300));

    const LayoutControl& p = l.controls[0];
    QCOMPARE(p.rect, QRectF(15, 300, 405, 4260));
    QCOMPARE(p.properties.entries().size(), size_t(2));
    kyv::PropertyBag bag = p.properties;
    QCOMPARE(bag.ReadProperty("FillColor").toColour().value, 0x0080FFu);  // #RRGGBB is stored as 0x00BBGGRR
    QCOMPARE(p.feeds.front().scale, 0.5);
    QCOMPARE(p.feeds.front().offset, -3.0);
    QCOMPARE(*p.feeds.front().staleAfter, 10.0);
    const LayoutEvent& e = p.on.front();
    QCOMPARE(e.actions.size(), size_t(3));
    QCOMPARE(e.actions[0].text, QString::fromLatin1(kDefaultActionText));
    QCOMPARE(e.actions[0].holdoff, 60.0);
    QCOMPARE(e.actions[1].path, QStringLiteral("/tmp/p.log"));
    QCOMPARE(e.actions[1].holdoff, 5.0);
    QCOMPARE(e.actions[2].command, QStringList({"notify", "{control} is at {value}"}));
    QCOMPARE(e.actions[2].timeout, 3.0);

    const LayoutControl& m = l.controls[1];
    QCOMPARE(m.feeds.size(), size_t(2));
    QCOMPARE(*m.feeds[1].column, 1);
    QVERIFY(!m.feeds[1].staleAfter);
    QCOMPARE(m.feeds[1].at, QStringLiteral("feed[1]."));

    errors.clear();
    checkClasses(l, kyvqt::ControlWidget::defaultRegistry(), errors);
    QCOMPARE(errors, QStringList());
  }

  // Without a size the screen takes the controls and labels and a margin of 120 twips.
  void extentWithoutSize() {
    QStringList errors;
    const Layout l = parseLayout(bar(), errors);
    QCOMPARE(l.extent(), QSizeF(405 + 120, 4260 + 120));
  }

  void errorsOfTheFile_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& text, const QStringList& errors) {
      QTest::newRow(name) << text << errors;
    };
    row("not an object", "[1, 2]", {"the file is not a JSON object"});
    row("no controls", "{}", {"controls: must be a list of at least one control"});
    row("empty controls", j("{'controls': []}"), {"controls: must be a list of at least one control"});
    row("unknown member",
        j("{'controls': [{'name': 'a', 'class': 'KyvPulse.HeartBeat', 'rect': [0, 0, 10, 10]}], 'colour': 1}"),
        {"colour: unknown member (known: title, size, background, sources, controls, labels, history, repeat)"});
    row("history", j("{'history': 5, 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"history: must be a text that is not empty"});
    row("title", j("{'title': 5, 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"title: must be a text that is not empty"});
    row("size", j("{'size': [0, 10], 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"size: width and height must be above 0 and at most 1000000 twips"});
    row("background",
        j("{'background': 'greenish', 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"background: must be a colour such as \"#203040\" or \"black\""});
    row("sources not an object",
        j("{'sources': [], 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"sources: must be an object of NAME: source"});
    row("labels not a list", j("{'labels': {}, 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"labels: must be a list of {text, rect}"});
    row("label",
        j("{'labels': [{'rect': [0, 0, 10]}], 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"labels[0]: text: missing", "labels[0]: rect: must be [left, top, width, height] in twips"});
    row("label not an object",
        j("{'labels': ['x'], 'controls': [{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 10, 10]}]}"),
        {"labels[0]: text: a label must be an object"});
  }
  void errorsOfTheFile() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  void notJson() {
    const QStringList errors = parseErrors("{\"controls\": [\n  {\"name\": }]}");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(QLatin1String("the file is not JSON: parse error at line 2, column 12")),
             qPrintable(errors[0]));
  }

  void errorsOfSources_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& source, const QStringList& errors) {
      QTest::newRow(name) << withSource(QString::fromUtf8(source)) << errors;
    };
    row("not an object", "3", {"source \"s\": type: the source must be an object"});
    row("no type", "{}", {"source \"s\": type: missing"});
    row("unknown type", j("{'type': 'ftp'}"),
        {"source \"s\": type: must be stdin, file, proc, prometheus, prometheus-query, prometheus-alerts or command"});
    row("stdin member", j("{'type': 'stdin', 'path': 'x'}"), {"source \"s\": path: unknown member (known: type)"});
    row("file without path", j("{'type': 'file'}"), {"source \"s\": path: missing"});
    row("file format", j("{'type': 'file', 'path': 'a', 'format': 'xml'}"),
        {"source \"s\": format: must be \"csv\" or \"lines\""});
    row("file separator", j("{'type': 'file', 'path': 'a.csv', 'separator': ';;'}"),
        {"source \"s\": separator: must be one character"});
    row("file poll", j("{'type': 'file', 'path': 'a', 'poll': 0}"), {"source \"s\": poll: must be from 0.05 to 3600"});
    row("proc interval", j("{'type': 'proc', 'interval': 0.01}"),
        {"source \"s\": interval: must be from 0.1 to 86400"});
    row("proc interval text", j("{'type': 'proc', 'interval': '1'}"), {"source \"s\": interval: must be a number"});
    row("proc member", j("{'type': 'proc', 'url': 'http://a'}"),
        {"source \"s\": url: unknown member (known: type, interval)"});
    row("prometheus without url", j("{'type': 'prometheus'}"), {"source \"s\": url: missing"});
    row("prometheus url", j("{'type': 'prometheus', 'url': 'ftp://host/metrics'}"),
        {"source \"s\": url: must be an http:// or https:// address"});
    row("prometheus timeout", j("{'type': 'prometheus', 'url': 'http://h/m', 'timeout': 0}"),
        {"source \"s\": timeout: must be from 0.1 to 600"});
    row("command missing", j("{'type': 'command'}"), {"source \"s\": command: missing"});
    row("command empty", j("{'type': 'command', 'command': []}"),
        {"source \"s\": command: must be a command: a list of words or a text, not empty"});
    row("command words", j("{'type': 'command', 'command': ['a', 1]}"),
        {"source \"s\": command: must be a command: a list of words or a text, not empty"});
  }
  void errorsOfSources() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  void errorsOfControls_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& text, const QStringList& errors) {
      QTest::newRow(name) << text << errors;
    };
    row("not an object", withControl("7"), {"controls[0]: name: a control must be an object"});
    row("no name", withControl(j("{'class': 'K.K', 'rect': [0, 0, 1, 1]}")), {"controls[0]: name: missing"});
    row("empty name", withControl(j("{'name': '', 'class': 'K.K', 'rect': [0, 0, 1, 1]}")),
        {"controls[0]: name: must be a text that is not empty"});
    row("same name",
        withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1, 1]},"
                      " {'name': 'A', 'class': 'K.K', 'rect': [0, 0, 1, 1]}")),
        {"control \"A\": name: used by an earlier control"});
    row("no class", withControl(j("{'name': 'a', 'rect': [0, 0, 1, 1]}")), {"control \"a\": class: missing"});
    row("unknown member", withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1, 1], 'feeds': []}")),
        {"control \"a\": feeds: unknown member (known: name, class, rect, properties, feed, on)"});
    row("no rect", withControl(j("{'name': 'a', 'class': 'K.K'}")),
        {"control \"a\": rect: missing; give [left, top, width, height] in twips"});
    row("rect of three", withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1]}")),
        {"control \"a\": rect: must be [left, top, width, height] in twips"});
    row("rect not numbers", withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, '1', 1]}")),
        {"control \"a\": rect: must be [left, top, width, height] in twips"});
    row("rect left", withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [-15, 0, 1, 1]}")),
        {"control \"a\": rect: left and top must be from 0 to 1000000 twips"});
    row("rect width", withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 0, 1]}")),
        {"control \"a\": rect: width and height must be above 0 and at most 1000000 twips"});
    row("properties not a list",
        withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1, 1], 'properties': {}}")),
        {"control \"a\": properties: \"properties\" is not an array"});
    row("property not a pair",
        withControl(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1, 1], 'properties': [['Maxlimit']]}")),
        {"control \"a\": properties: entry 1 is not a [KEY, VALUE] pair"});
  }
  void errorsOfControls() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  void errorsOfFeeds_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& feed, const QStringList& errors) {
      QTest::newRow(name) << withControl(
                                 QString::fromUtf8(j("{'name': 'a', 'class': 'K.K', 'rect': [0, 0, 1, 1], 'feed': %1}"))
                                     .arg(QString::fromUtf8(feed)))
                          << errors;
    };
    row("not an object", "2", {"control \"a\": feed: must be an object"});
    row("empty list", "[]", {"control \"a\": feed: must hold at least one feed"});
    row("no source", j("{'field': 'x'}"), {"control \"a\": feed.source: missing"});
    row("unknown source", j("{'source': 'net', 'field': 'x'}"),
        {"control \"a\": feed.source: no source is named \"net\" (sources: in)"});
    row("no field", j("{'source': 'in'}"), {"control \"a\": feed.field: missing"});
    row("scale", j("{'source': 'in', 'field': 'x', 'scale': '2'}"), {"control \"a\": feed.scale: must be a number"});
    row("offset", j("{'source': 'in', 'field': 'x', 'offset': 1e13}"),
        {"control \"a\": feed.offset: must be from -1000000000000 to 1000000000000"});
    row("column fraction", j("{'source': 'in', 'field': 'x', 'column': 1.5}"),
        {"control \"a\": feed.column: must be a whole number"});
    row("column range", j("{'source': 'in', 'field': 'x', 'column': 40000}"),
        {"control \"a\": feed.column: must be from -32768 to 32767"});
    row("stale", j("{'source': 'in', 'field': 'x', 'stale': 0}"),
        {"control \"a\": feed.stale: must be above 0 and at most 86400"});
    row("method", j("{'source': 'in', 'field': 'x', 'method': 3}"),
        {"control \"a\": feed.method: must be a text that is not empty"});
    row("misspelt", j("{'source': 'in', 'feild': 'x'}"),
        {"control \"a\": feed.feild: unknown member (known: source, field, scale, offset, method, column, stale, "
         "match, columns)",
         "control \"a\": feed.field: missing"});
    row("second of a list", j("[{'source': 'in', 'field': 'x'}, {'source': 'in', 'field': 'y', 'scale': null}]"),
        {"control \"a\": feed[1].scale: must be a number"});
  }
  void errorsOfFeeds() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  // What chooses among a query's series: `match` and a multi-bar's `columns`, and the
  // labels that list a server's alerts.
  void errorsOfSeriesFeeds_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const QString sources = QString::fromUtf8(
        j("{'in': {'type': 'stdin'}, 'q': {'type': 'prometheus-query', 'url': 'http://127.0.0.1:9090'},"
          " 'a': {'type': 'prometheus-alerts', 'url': 'http://127.0.0.1:9090'}}"));
    const auto row = [&sources](const char* name, const char* feed, const QStringList& errors,
                                const char* label = nullptr) {
      QString control = QString::fromUtf8(j("{'name': 'm', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [0, 0, 900, "
                                            "900], 'feed': %1}"))
                            .arg(QString::fromUtf8(j(feed)));
      QByteArray text = withControl(control, sources);
      if (label) text.replace("\"controls\"", j("'labels': [") + j(label) + "], \"controls\"");
      QTest::newRow(name) << text << errors;
    };
    const QString mustMatch =
        QStringLiteral("control \"m\": feed.match: must be an object of LABEL: \"VALUE\", at least one");
    const QString noSeries = QStringLiteral(
        "control \"m\": feed.%1: source \"%2\" gives no labelled series to choose among (a prometheus-query does)");
    row("match empty", "{'source': 'q', 'field': 'up', 'match': {}}", {mustMatch});
    row("match of a number", "{'source': 'q', 'field': 'up', 'match': {'device': 1}}", {mustMatch});
    row("match a list", "{'source': 'q', 'field': 'up', 'match': ['device', 'eth0']}", {mustMatch});
    row("match of a source without series", "{'source': 'in', 'field': 'x', 'match': {'device': 'eth0'}}",
        {noSeries.arg("match", "in")});
    row("match of alerts", "{'source': 'a', 'field': 'firing', 'match': {'device': 'eth0'}}",
        {noSeries.arg("match", "a")});
    row("columns a text", "{'source': 'q', 'field': 'up', 'columns': 'instance'}",
        {"control \"m\": feed.columns: must be an object: {\"by\": LABEL}"});
    row("columns without by", "{'source': 'q', 'field': 'up', 'columns': {}}",
        {"control \"m\": feed.columns.by: missing"});
    row("columns misspelt", "{'source': 'q', 'field': 'up', 'columns': {'by': 'instance', 'name': [0, 0, 9, 9]}}",
        {"control \"m\": feed.columns.name: unknown member (known: by, names)"});
    row("columns names", "{'source': 'q', 'field': 'up', 'columns': {'by': 'instance', 'names': [0, 0, 9]}}",
        {"control \"m\": feed.columns.names: must be [left, top, width, height] in twips"});
    row("columns and column", "{'source': 'q', 'field': 'up', 'column': 1, 'columns': {'by': 'instance'}}",
        {"control \"m\": feed.columns: goes without column: a series a column is chosen"});
    row("columns of a source without series", "{'source': 'in', 'field': 'x', 'columns': {'by': 'instance'}}",
        {noSeries.arg("columns", "in")});
    row("columns twice",
        "[{'source': 'q', 'field': 'up', 'columns': {'by': 'instance'}}, {'source': 'q', 'field': 'x', 'columns': "
        "{'by': 'job'}}]",
        {"control \"m\": feed: only one feed of a control may have columns"});
    row("columns of a label", "{'source': 'q', 'field': 'up'}",
        {"labels[0]: feed.columns: goes with a control's feed (a multi-bar), not a label's"},
        "{'text': '{value}', 'rect': [0, 900, 900, 300], 'feed': {'source': 'q', 'field': 'up', 'columns': {'by': "
        "'instance'}}}");
    row("alerts of a query", "{'source': 'q', 'field': 'up'}",
        {"labels[0]: text: {alerts} needs the label's feed to be a prometheus-alerts source"},
        "{'text': '{alerts}', 'rect': [0, 900, 900, 300], 'feed': {'source': 'q', 'field': 'up'}}");
    row("alerts of alerts", "{'source': 'q', 'field': 'up'}", {},
        "{'text': '{value}: {alerts}', 'rect': [0, 900, 900, 300], 'feed': {'source': 'a', 'field': 'firing'}}");
    row("a field of alerts", "{'source': 'a', 'field': 'pending'}",
        {"control \"m\": feed.field: the alerts of a server give only \"firing\""});
    row("a match of a label", "{'source': 'q', 'field': 'up'}", {},
        "{'text': '{value}', 'rect': [0, 900, 900, 300], 'feed': {'source': 'q', 'field': 'up', 'match': "
        "{'instance': 'host1'}}}");
  }
  void errorsOfSeriesFeeds() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  // A multi-bar's column names go under it unless the feed places them; the screen holds them.
  void columnNames() {
    const QString sources = QString::fromUtf8(j("{'q': {'type': 'prometheus-query', 'url': 'http://127.0.0.1:9090'}}"));
    const auto multiBar = [&sources](const char* columns) {
      return withControl(QString::fromUtf8(j("{'name': 'm', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [150, 300, "
                                             "2100, 1305], 'feed': {'source': 'q', 'field': 'up', 'columns': %1}}"))
                             .arg(QString::fromUtf8(j(columns))),
                         sources);
    };
    QStringList errors;
    Layout l = parseLayout(multiBar("{'by': 'instance'}"), errors);
    QCOMPARE(errors, QStringList());
    QCOMPARE(l.controls[0].feeds[0].columns->by, QStringLiteral("instance"));
    QCOMPARE(l.controls[0].feeds[0].columns->names, QRectF(150, 1605, 2100, 240));
    QCOMPARE(l.extent(), QSizeF(2370, 1965));
    l = parseLayout(multiBar("{'by': 'instance', 'names': [0, 0, 2100, 300]}"), errors);
    QCOMPARE(l.controls[0].feeds[0].columns->names, QRectF(0, 0, 2100, 300));
    QCOMPARE(classErrors(withControl(QString::fromUtf8(j("{'name': 'b', 'class': 'KyvVStatus.Kyvvstat', 'rect': [0, 0, "
                                                         "405, 4260], 'feed': {'source': 'q', 'field': 'up', "
                                                         "'columns': {'by': 'instance'}}}")),
                                     sources)),
             QStringList({"control \"b\": feed.columns: KyvVStatus.Kyvvstat has no Column method"}));
  }

  // A field must make sense for its source: a proc reading, a Prometheus selector.
  void fieldsOfSources() {
    QCOMPARE(parseErrors(withSource(j("{'type': 'proc'}"), "cpu7")), QStringList());
    QCOMPARE(parseErrors(withSource(j("{'type': 'proc'}"), "net.eth0.tx")), QStringList());
    QCOMPARE(parseErrors(withSource(j("{'type': 'proc'}"), "disk.nvme0n1.read")), QStringList());
    QCOMPARE(
        parseErrors(withSource(j("{'type': 'proc'}"), "cpu_busy")),
        QStringList({"control \"bar\": feed.field: \"cpu_busy\" is not a reading of a proc source (cpu, cpuN, mem, "
                     "swap, load1, load5, load15, net.rx, net.tx, net.IFACE.rx, net.IFACE.tx, disk.read, "
                     "disk.write, disk.DEV.read, disk.DEV.write)"}));
    QCOMPARE(parseErrors(withSource(j("{'type': 'prometheus', 'url': 'http://h/m'}"), j("up{job=\\'a\\'}"))),
             QStringList());
    QCOMPARE(parseErrors(withSource(j("{'type': 'prometheus', 'url': 'http://h/m'}"), j("up{job=a}"))),
             QStringList({"control \"bar\": feed.field: not a metric selector: the value of label job is not a closed "
                          "double-quoted text"}));
    QCOMPARE(parseErrors(withSource(j("{'type': 'prometheus', 'url': 'http://h/m'}"), "rate(node_cpu_seconds_total)")),
             QStringList());
    // A query's feed goes stale after three intervals unless it says otherwise; any text is a query.
    QStringList errors;
    const Layout query =
        parseLayout(withSource(j("{'type': 'prometheus-query', 'url': 'http://h:9090', 'interval': 4}"),
                               j("sum by (instance) (rate(x[1m]))")),
                    errors);
    QCOMPARE(errors, QStringList());
    QCOMPARE(query.controls[0].feeds[0].staleAfter, std::optional<double>(12));
    QCOMPARE(
        parseErrors(withSource(j("{'type': 'prometheus', 'url': 'http://h/m'}"), "9lives")),
        QStringList(
            {"control \"bar\": feed.field: not a metric selector: a metric name must start with a letter, _ or :"}));
  }

  void errorsOfActions_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& on, const QStringList& errors) {
      QTest::newRow(name) << bar(QString::fromUtf8(j("'on': %1")).arg(QString::fromUtf8(on))) << errors;
    };
    row("not an object", "[]", {"control \"bar\": on: must be an object of EVENT: action(s)"});
    row("no action", j("{'NormalOPs': []}"), {"control \"bar\": on.NormalOPs: must hold at least one action"});
    row("action not an object", j("{'NormalOPs': 'print'}"),
        {"control \"bar\": on.NormalOPs: an action must be an object"});
    row("no kind", j("{'NormalOPs': {'holdoff': 3}}"),
        {"control \"bar\": on.NormalOPs: an action must have exactly one of print, log and run"});
    row("two kinds", j("{'NormalOPs': [{'print': true}, {'print': true, 'log': 'a'}]}"),
        {"control \"bar\": on.NormalOPs[1]: an action must have exactly one of print, log and run"});
    row("print", j("{'NormalOPs': {'print': 1}}"),
        {"control \"bar\": on.NormalOPs.print: must be a text that is not empty"});
    row("print text", j("{'NormalOPs': {'print': 'x', 'text': 'y'}}"),
        {"control \"bar\": on.NormalOPs.text: goes with log; print takes its text itself"});
    row("log", j("{'NormalOPs': {'log': ''}}"),
        {"control \"bar\": on.NormalOPs.log: must be a text that is not empty"});
    row("run", j("{'NormalOPs': {'run': ''}}"),
        {"control \"bar\": on.NormalOPs.run: must be a command: a list of words or a text, not empty"});
    row("run timeout", j("{'NormalOPs': {'run': 'true', 'timeout': 0}}"),
        {"control \"bar\": on.NormalOPs.timeout: must be above 0 and at most 3600"});
    row("run text", j("{'NormalOPs': {'run': 'true', 'text': 'x'}}"),
        {"control \"bar\": on.NormalOPs.text: goes with log, not with run"});
    row("timeout of a log", j("{'NormalOPs': {'log': 'a', 'timeout': 2}}"),
        {"control \"bar\": on.NormalOPs.timeout: goes with run"});
    row("holdoff", j("{'NormalOPs': {'print': true, 'holdoff': -1}}"),
        {"control \"bar\": on.NormalOPs.holdoff: must be from 0 to 86400"});
    row("unknown placeholder",
        j("{'NormalOPs': [{'print': '{control} at {unknown}'}, {'log': 'a', 'text': '{valeu}'},"
          " {'run': ['awk', '{print $1}', '{Value}']}]}"),
        {"control \"bar\": on.NormalOPs[0].print: unknown placeholder {unknown} (known: {time}, {control}, {event}, "
         "{value})",
         "control \"bar\": on.NormalOPs[1].text: unknown placeholder {valeu} (known: {time}, {control}, {event}, "
         "{value})",
         "control \"bar\": on.NormalOPs[2].run: unknown placeholder {Value} (known: {time}, {control}, {event}, "
         "{value})"});
    row("unclosed quote", j("{'NormalOPs': {'run': 'sh -c \\u0027echo x'}}"),
        {"control \"bar\": on.NormalOPs.run: cannot be split into words: a single quote is not closed"});
    row("misspelt", j("{'NormalOPs': {'print': true, 'holdof': 1}}"),
        {"control \"bar\": on.NormalOPs.holdof: unknown member (known: print, log, run, text, timeout, holdoff)"});
  }
  void errorsOfActions() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(parseErrors(text), errors);
  }

  // Every problem of the file is reported, not only the first.
  void everyErrorAtOnce() {
    const QStringList errors =
        parseErrors(withControl(j("{'name': 'a', 'rect': [0, 0, 1, 1], 'feed': {'source': 'x', 'field': 'y'}},"
                                  " {'name': 'b', 'class': 'K.K'}")));
    QCOMPARE(errors, QStringList({"control \"a\": class: missing",
                                  "control \"a\": feed.source: no source is named \"x\" (sources: in)",
                                  "control \"b\": rect: missing; give [left, top, width, height] in twips"}));
  }

  void errorsAgainstTheClasses_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QByteArray& text, const QStringList& errors) {
      QTest::newRow(name) << text << errors;
    };
    row("unknown method", bar(j("'on': {}")).replace(j("'field': 'x'"), j("'field': 'x', 'method': 'Fire'")),
        {"control \"bar\": feed.method: KyvVStatus.Kyvvstat has no method Fire"});
    row("a property is no method", bar().replace(j("'field': 'x'"), j("'field': 'x', 'method': 'Maxlimit'")),
        {"control \"bar\": feed.method: KyvVStatus.Kyvvstat has no method Maxlimit"});
    row("no column", bar().replace(j("'field': 'x'"), j("'field': 'x', 'column': 2")),
        {"control \"bar\": feed.column: KyvVStatus.Kyvvstat has no Column method"});
    row("unknown event", bar(j("'on': {'Boom': {'print': true}}")),
        {"control \"bar\": on.Boom: KyvVStatus.Kyvvstat raises no event \"Boom\" (its events: MinThreshReached, "
         "MaxThreshReached, NormalOPs)"});
    row("a class without events",
        withControl(j("{'name': 't', 'class': 'KyvPulse.HeartBeat', 'rect': [0, 0, 900, 900], 'on': {'NormalOPs': "
                      "{'print': true}}}")),
        {"control \"t\": on.NormalOPs: KyvPulse.HeartBeat raises no event \"NormalOPs\" (it raises none)"});
    row("events in any case", bar(j("'on': {'maxthreshreached': {'print': true}}")), {});
    row("an unknown property key", bar(j("'properties': [['MaxThreshhold', 80], ['maxlimit', 200]]")),
        {"control \"bar\": properties: KyvVStatus.Kyvvstat stores no property \"MaxThreshhold\" (its keys: "
         "BorderStyle, Bar3D, CaptionVisible, CaptionBorder, BackColor, FillColor, minthreshcolor, maxthreshcolor, "
         "MinThreshold, MaxThreshold, Maxlimit)"});
    row("the multi-bar's columns",
        withControl(j("{'name': 'm', 'class': 'KyvMultiBars.KyvMultiBar', 'rect': [0, 0, 900, 900],"
                      " 'feed': [{'source': 'in', 'field': 'a', 'column': 0},"
                      " {'source': 'in', 'field': 'b', 'column': 1, 'method': 'value'}]}")),
        {});
  }
  void errorsAgainstTheClasses() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, errors);
    QCOMPARE(classErrors(text), errors);
  }

  void unknownClass() {
    const QStringList errors = classErrors(withControl(j("{'name': 'z', 'class': 'No.Such', 'rect': [0, 0, 9, 9]}")));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].startsWith(QLatin1String("control \"z\": class: Cannot create object: ")),
             qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(QLatin1String("No.Such")), qPrintable(errors[0]));
  }

  // The feed method of each class when the layout names none: the one that takes a value.
  void feedMethods_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("argType");
    QTest::newRow("vertical bar") << "KyvVStatus.Kyvvstat"
                                  << "incbar" << int(kyv::VarType::Integer);
    QTest::newRow("horizontal bar") << "KyvHStatus.Hstat"
                                    << "incbar" << int(kyv::VarType::Integer);
    QTest::newRow("digit") << "Kyv1Digit.sseg"
                           << "send" << int(kyv::VarType::Long);
    QTest::newRow("four digits") << "Kyv4Digit.fourseg"
                                 << "send" << int(kyv::VarType::Long);
    QTest::newRow("six digits") << "Kyv6Digit.sixseg"
                                << "send" << int(kyv::VarType::Long);
    QTest::newRow("bar graph") << "KyvMovingBars.KyvMovingBar"
                               << "MoveBar" << int(kyv::VarType::Integer);
    QTest::newRow("trace") << "KyvPulse.HeartBeat"
                           << "Plot" << int(kyv::VarType::Integer);
    QTest::newRow("multi-bar") << "KyvMultiBars.KyvMultiBar"
                               << "Value" << int(kyv::VarType::Integer);
  }
  void feedMethods() {
    QFETCH(QString, className);
    QFETCH(QString, method);
    QFETCH(int, argType);
    LayoutFeed feed;
    QString found, field, problem;
    int type = -1;
    kyvqt::ControlWidget::defaultRegistry().describe(className.toStdString(), [&](const kyv::ClassInfo& info) {
      const std::optional<FeedMembers> m = feedMembers(info, feed, &field, &problem);
      if (!m) return;
      found =
          QString::fromUtf8(info.members()[m->method].name.data(), qsizetype(info.members()[m->method].name.size()));
      type = int(m->argType);
    });
    QCOMPARE(found, method);
    QCOMPARE(type, argType);
  }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
