#include "Runner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "Actions.h"
#include "ClassCheck.h"
#include "FeedMap.h"
#include "FeedRange.h"
#include "LabelFormat.h"
#include "PromAlertsSource.h"
#include "PromQuerySource.h"
#include "SeriesPick.h"
#include "Staleness.h"
#include "StdinSource.h"
#include "Warnings.h"
#include "kyv/error.h"
#include "kyv/files.h"

namespace kyvdash {
namespace {

// What `source` says of a repeated block's query that gives nothing: the block's series
// has gone (its host is down, which the block shows), not a problem of the source.
QSet<QString> blockQueriesWithoutData(const Layout& layout, const QString& source) {
  QSet<QString> expected;
  const auto add = [&](const LayoutFeed& feed) {
    if (feed.source == source) expected.insert(QStringLiteral("query %1: %2").arg(feed.field, kNoData));
  };
  for (const LayoutControl& c : layout.controls)
    if (c.block >= 0)
      for (const LayoutFeed& feed : c.feeds) add(feed);
  for (const LayoutLabel& l : layout.labels)
    if (l.block >= 0 && l.feed) add(*l.feed);
  return expected;
}

// Times `feed` for staleness under `index` when it states a time: its id for fresh(), else -1.
int timeFeed(Staleness& staleness, int index, const LayoutFeed& feed) {
  if (!feed.staleAfter) return -1;
  return staleness.add(index, feed.source + u'.' + feed.field, fromSeconds(*feed.staleAfter).count());
}

qint64 wallClock() { return QDateTime::currentMSecsSinceEpoch(); }

}  // namespace

struct Runner::Loaded {
  explicit Loaded(const Clock& clock) : staleness(clock), actions(clock) {}
  ~Loaded() {
    sources.clear();  // no reading reaches a control that is going
    delete dashboard.data();
  }
  QPointer<Dashboard> dashboard;
  std::vector<std::unique_ptr<Source>> sources;
  FeedMap feed;
  Staleness staleness;
  Actions actions;
  QTimer staleTimer;
  std::vector<kyv::Variant> lastValue;                  // by control: what its feed method was last given
  std::vector<qint64> lastAt;                           // by control: when, -1 before the first
  std::vector<bool> failing;                            // by source: reported a problem and gave nothing since
  std::vector<std::map<int, QString>> unshown;          // by control: its feeds given what it cannot show, and what
  std::vector<std::vector<std::vector<Labels>>> shown;  // by control and feed: the labels of the series it shows
  std::map<size_t, std::vector<Series>> firing;         // by alerts source: the alerts firing
  std::set<QString> reported;                           // what reportOnce said and has not cleared
  std::vector<Trail> trails;                            // the charts' readings
  std::vector<FeedMap::Target> trailTargets;            // by trail: the feed it goes through
  QHash<QString, QHash<QString, std::vector<size_t>>> trailsOf;  // by source, then field: the trails it feeds
  std::vector<Dashboard::Adopted> adopted;                       // the controls taken over from the screen before
  bool replaying = false;  // readings are shown again: the controls' events act on nothing
};

Runner::Runner(QString layoutPath, kyv::Registry* registry, QObject* parent)
    : QObject(parent), path_(std::move(layoutPath)), registry_(registry) {
  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &Runner::reload);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_, qOverload<>(&QTimer::start));
  historyTimer_.setInterval(5000);
  connect(&historyTimer_, &QTimer::timeout, this, &Runner::saveHistory);
  restructure_.setSingleShot(true);
  restructure_.setInterval(0);
  connect(&restructure_, &QTimer::timeout, this, &Runner::restructure);
}

// The history is written a last time; nothing is reported any more.
Runner::~Runner() {
  QString ignored;
  if (trailChanges_ != trailsSaved_) writeHistory(&ignored);
}

std::vector<TimedReading> Runner::trail(int index) const {
  if (!current_) return {};
  for (const Trail& t : current_->trails)
    if (t.control == index) return {t.readings.begin(), t.readings.end()};
  return {};
}

void Runner::saveHistory() {
  if (trailChanges_ == trailsSaved_) return;
  QString problem;
  if (writeHistory(&problem)) {
    historyProblem_.clear();
    return;
  }
  if (problem != historyProblem_) emit report(problem);
  historyProblem_ = problem;
}

bool Runner::writeHistory(QString* problem) {
  if (!current_ || historyPath_.isEmpty()) return true;
  std::vector<const Trail*> trails;
  for (const Trail& t : current_->trails) trails.push_back(&t);
  const quint64 changes = trailChanges_;
  try {
    kyv::writeFileAtomically(historyPath_.toStdString(),
                             historyText(QFileInfo(path_).absoluteFilePath(), trails, wallClock()).toStdString());
  } catch (const kyv::Error& e) {
    *problem = QStringLiteral("history %1 cannot be written: %2").arg(historyPath_, QString::fromUtf8(e.what()));
    return false;
  }
  trailsSaved_ = changes;
  return true;
}

Dashboard* Runner::dashboard() const { return current_ ? current_->dashboard.data() : nullptr; }

Runner::Fed Runner::fed(int index) const {
  if (!current_ || index < 0 || index >= static_cast<int>(current_->lastAt.size())) return {};
  const qint64 at = current_->lastAt[index];
  return {at < 0 ? QString() : QString::fromStdString(current_->lastValue[index].display()), at};
}

bool Runner::everySourceFailing() const {
  if (!current_ || current_->failing.empty()) return false;
  return std::all_of(current_->failing.begin(), current_->failing.end(), [](bool f) { return f; });
}

FdReader& Runner::stdinReader() {
  if (!stdin_) stdin_ = std::make_unique<FdReader>(stdinFd_);
  return *stdin_;
}

std::optional<QByteArray> Runner::readFile(QStringList* errors) const {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) {
    *errors << QStringLiteral("cannot read %1: %2").arg(path_, file.errorString());
    return std::nullopt;
  }
  return file.readAll();
}

bool Runner::start(QStringList* errors) {
  const std::optional<QByteArray> text = readFile(errors);
  if (!text) return false;
  current_ = load(*text, errors);
  if (!current_) return false;
  for (const QString& w : layoutWarnings(*current_->dashboard)) emit report(QStringLiteral("warning: ") + w);
  watcher_.addPath(path_);
  watcher_.addPath(QFileInfo(path_).absolutePath());
  run(*current_);
  if (!historyPath_.isEmpty()) historyTimer_.start();
  return true;
}

bool Runner::check(QStringList* errors, QStringList* warnings) {
  const std::optional<QByteArray> text = readFile(errors);
  if (!text) return false;
  const std::unique_ptr<Loaded> loaded = load(*text, errors);
  loadedText_.clear();
  if (!loaded) return false;
  if (!warnings) return true;
  const Layout& layout = loaded->dashboard->layout();
  if (!layout.repeat || !layout.blocks.empty()) {
    *warnings = layoutWarnings(*loaded->dashboard) + seriesWarnings(*loaded->dashboard, checkTimeout_);
    return true;
  }
  // A repeat's group is warned of as a block of its own shows it; the servers are asked
  // what the rest of the screen's queries give.
  QStringList none;
  Dashboard probe(expandRepeat(layout, {layout.repeat->by}, 0, none), loaded->dashboard->registry());
  probe.build();
  *warnings = layoutWarnings(probe) + seriesWarnings(*loaded->dashboard, checkTimeout_);
  return true;
}

void Runner::reload() {
  if (!watcher_.files().contains(path_)) watcher_.addPath(path_);  // replaced by an editor
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly) || file.peek(1).isEmpty()) return;  // being written: a later change follows
  // A change beside the file (a snapshot written there) is not a change of the layout.
  const QByteArray text = file.readAll();
  if (text == loadedText_ || text == rejected_) return;
  QStringList errors;
  std::unique_ptr<Loaded> next = load(text, &errors);
  if (!next) {
    rejected_ = text;
    emit report(QStringLiteral("%1 not reloaded; the running screen stays:").arg(path_));
    for (const QString& e : errors) emit report(QStringLiteral("  ") + e);
    return;
  }
  replace(std::move(next));
  emit report(QStringLiteral("%1 reloaded").arg(path_));
}

void Runner::replace(std::unique_ptr<Loaded> next) {
  saveHistory();  // what the screen showed until now, in the file it was going to
  std::unique_ptr<Loaded> old = std::move(current_);
  current_ = std::move(next);
  current_->adopted = current_->dashboard->adopt(*old->dashboard);
  for (const Dashboard::Adopted& a : current_->adopted)
    disconnect(current_->dashboard->control(a.index), nullptr, this, nullptr);
  run(*current_, old.get());
  current_->actions.keepHoldoffs(old->actions);
  // What an adopted control was given stays what it was last given.
  QHash<QString, int> before;
  for (int c = 0; c < static_cast<int>(old->lastAt.size()); ++c)
    before.insert(old->dashboard->layout().controls[c].name, c);
  for (const Dashboard::Adopted& a : current_->adopted) {
    const int c = a.index;
    const int k = before.value(current_->dashboard->layout().controls[c].name, -1);
    if (k < 0) continue;
    current_->lastValue[c] = old->lastValue[k];
    current_->lastAt[c] = old->lastAt[k];
  }
  if (historyPath_.isEmpty())
    historyTimer_.stop();
  else
    historyTimer_.start();
  emit dashboardReplaced(current_->dashboard);
  old.reset();
}

std::unique_ptr<Runner::Loaded> Runner::load(const QByteArray& text, QStringList* errors) {
  Layout layout = parseLayout(text, *errors);
  if (!errors->isEmpty()) return nullptr;
  // The window, the page and the snapshots all name the screen so.
  if (layout.title.isEmpty()) layout.title = QFileInfo(path_).fileName();
  kyv::Registry& registry = registry_ ? *registry_ : kyvqt::ControlWidget::defaultRegistry();
  if (layout.repeat) {
    // The repeated group is checked as a block of its own, whether or not one shows now.
    Layout probe = expandRepeat(layout, {layout.repeat->by}, 0, *errors);
    checkClasses(probe, registry, *errors);
    if (!errors->isEmpty()) return nullptr;
    *errors << Dashboard(std::move(probe), &registry).build();
    if (!errors->isEmpty()) return nullptr;
    // Another query, or another label, makes other blocks.
    const QString key = layout.repeat->source + u'\n' + layout.repeat->query + u'\n' + layout.repeat->by;
    if (key != repeatKey_) repeatValues_.clear();
    repeatKey_ = key;
    QStringList shown;
    for (const auto& [value, health] : repeatValues_)
      if (shown.size() < layout.repeat->max) shown << value;
    const int more = static_cast<int>(repeatValues_.size()) - static_cast<int>(shown.size());
    QStringList blockErrors;
    layout = expandRepeat(layout, shown, more, blockErrors);
    for (const QString& e : blockErrors) emit report(e);
  }
  checkClasses(layout, registry, *errors);
  if (!errors->isEmpty()) return nullptr;
  auto loaded = std::make_unique<Loaded>(clock_);
  loaded->dashboard = new Dashboard(std::move(layout), &registry);
  *errors << loaded->dashboard->build();
  if (!errors->isEmpty()) return nullptr;
  loadedText_ = text;
  return loaded;
}

// A source of `previous` that the layout gives exactly as before, taken over running.
std::unique_ptr<Source> Runner::takeSource(Loaded* previous, const LayoutSource& entry) {
  if (!previous) return nullptr;
  const Layout& before = previous->dashboard->layout();
  for (size_t i = 0; i < previous->sources.size(); ++i) {
    if (!previous->sources[i] || before.sources[i].raw != entry.raw) continue;
    disconnect(previous->sources[i].get(), nullptr, this, nullptr);
    return std::move(previous->sources[i]);
  }
  return nullptr;
}

void Runner::run(Loaded& s, Loaded* previous) {
  const Layout& layout = s.dashboard->layout();
  std::vector<bool> running;
  for (const LayoutSource& entry : layout.sources) {
    std::unique_ptr<Source> source = takeSource(previous, entry);
    running.push_back(source != nullptr);
    if (source) {
      s.sources.push_back(std::move(source));
      continue;
    }
    source = entry.settings->make(entry.name, SourceNeeds{[this]() -> FdReader& { return stdinReader(); }});
    source->setRetry(firstRetry_, std::max(firstRetry_, std::chrono::milliseconds(60000)));
    s.sources.push_back(std::move(source));
  }
  connectSources(s);
  connectEvents(s);
  const Layout& shown = s.dashboard->layout();
  historyPath_ = shown.history.isEmpty() ? QString() : QFileInfo(path_).absoluteDir().absoluteFilePath(shown.history);
  if (previous)
    carryTrails(s, *previous);
  else
    readHistory(s);
  // A chart that shows nothing yet is filled from its source's past, where the source keeps one.
  for (size_t i = 0; i < s.sources.size(); ++i)
    askPast(s, i, [&s, previous](size_t t) { return !previous || s.trails[t].readings.empty(); });
  connectRepeat(s);
  if (!s.staleness.empty()) {
    s.staleTimer.setInterval(staleCheck_);
    connect(&s.staleTimer, &QTimer::timeout, this, [this, &s] { markStale(s); });
    s.staleTimer.start();
  }
  for (size_t i = 0; i < s.sources.size(); ++i)
    if (!running[i]) s.sources[i]->start();
}

// Every feed is routed from its source and field to its control, and timed for staleness.
void Runner::connectSources(Loaded& s) {
  Dashboard& d = *s.dashboard;
  const Layout& layout = d.layout();
  s.lastValue.resize(layout.controls.size());
  s.lastAt.assign(layout.controls.size(), -1);
  health_.sourceUp.clear();
  std::vector<std::vector<int>> staleIds(layout.controls.size());
  for (int c = 0; c < d.count(); ++c) {
    const LayoutControl& control = layout.controls[c];
    for (int f = 0; f < static_cast<int>(control.feeds.size()); ++f) {
      const LayoutFeed& feed = control.feeds[f];
      QString field, problem;
      const kyv::ClassInfo& info = d.control(c)->control()->classInfo();
      const FeedMembers members = *feedMembers(info, feed, &field, &problem);
      FeedMap::Target t{d.control(c), c, f, members, feed.scale, feed.offset, feed.column, feedRange(members, info)};
      t.match = feed.match;
      if (feed.columns) t.columnsBy = feed.columns->by;
      t.columns = static_cast<int>(d.columnNames(c).size());
      s.feed.add(feed.source, feed.field, t);
      makeTrail(s, t);
      staleIds[c].push_back(timeFeed(s.staleness, c, feed));
      for (auto& source : s.sources)
        if (source->name() == feed.source) source->want(feed.field);
    }
  }
  s.feed.setFed([this, &s, staleIds](const FeedMap::Target& t, const kyv::Variant& shown) {
    s.lastValue[t.control] = shown;
    s.lastAt[t.control] = clock_();
    if (const int id = staleIds[t.control][t.feed]; id >= 0) s.staleness.fresh(id);
  });
  s.unshown.resize(layout.controls.size());
  s.shown.resize(layout.controls.size());
  for (size_t c = 0; c < layout.controls.size(); ++c) s.shown[c].resize(layout.controls[c].feeds.size());
  s.feed.setChosen([this, &s](const FeedMap::Target& t, const std::vector<const Series*>& shown, int among) {
    chosen(s, t, shown, among);
  });
  s.feed.setUnshown(
      [this, &s](const FeedMap::Target& t, double value, bool shown) { markUnshown(s, t, value, shown); });
  s.feed.setFailed([this, &s](const FeedMap::Target& t, const QString& message) {
    emit report(QStringLiteral("control %1: %2").arg(s.dashboard->layout().controls[t.control].name, message));
  });
  connectLabels(s);
  s.failing.assign(s.sources.size(), false);
  for (size_t i = 0; i < s.sources.size(); ++i) {
    Source* src = s.sources[i].get();
    health_.sourceUp[src->name()] = true;
    connect(src, &Source::reading, this, [this, &s, i, name = src->name()](const QString& field, double value) {
      s.failing[i] = false;
      s.feed.deliver(name, field, value);
      takeLive(s, name, field, value);
    });
    connectSeries(s, i);
    connect(src, &Source::past, this,
            [this, &s, name = src->name()](const QString& field, const std::vector<TimedReading>& past, qint64 step) {
              takePast(s, name, field, past, step);
            });
    const QSet<QString> expected = blockQueriesWithoutData(layout, src->name());
    connect(src, &Source::problem, this, [this, &s, i, name = src->name(), expected](const QString& m) {
      if (expected.contains(m)) return;
      s.failing[i] = true;
      health_.sourceUp[name] = false;
      ++health_.sourceErrors;
      emit report(QStringLiteral("source %1: %2").arg(name, m));
    });
    connect(src, &Source::recovered, this, [this, &s, i, name = src->name()] {
      s.failing[i] = false;
      health_.sourceUp[name] = true;
      emit report(QStringLiteral("source %1: reading again").arg(name));
      askPast(s, i, [](size_t) { return true; });  // the readings missed while it failed
    });
  }
}

// A query's series go to the feeds that choose among them; a server's firing alerts mark
// the controls they concern.
void Runner::connectSeries(Loaded& s, size_t i) {
  const LayoutSource& entry = s.dashboard->layout().sources[i];
  Source* src = s.sources[i].get();
  const SeriesKind kind = entry.settings ? entry.settings->seriesKind() : SeriesKind::None;
  if (kind == SeriesKind::Values)
    connect(src, &Source::series, this, [&s, name = src->name()](const QString& field, const std::vector<Series>& all) {
      s.feed.deliverSeries(name, field, all);
    });
  if (kind != SeriesKind::Alerts) return;
  connect(src, &Source::series, this, [this, &s, i](const QString&, const std::vector<Series>& firing) {
    s.firing[i] = firing;
    for (int c = 0; c < s.dashboard->count(); ++c) markAlerts(s, c);
  });
}

// What a feed of a field giving several series shows: its control's alerts follow the
// labels of those series, a multi-bar's column names their label, and a feed shown fewer
// series than it was given is reported once, until that ends.
void Runner::chosen(Loaded& s, const FeedMap::Target& t, const std::vector<const Series*>& shown, int among) {
  const LayoutControl& control = s.dashboard->layout().controls[t.control];
  const LayoutFeed& feed = control.feeds[t.feed];
  // Most answers give a feed the series it had: those are compared, not copied.
  std::vector<Labels>& known = s.shown[t.control][t.feed];
  const auto sameLabels = [](const Labels& had, const Series* now) { return had == now->labels; };
  if (!std::equal(known.begin(), known.end(), shown.begin(), shown.end(), sameLabels)) {
    known.clear();
    for (const Series* series : shown) known.push_back(series->labels);
    markAlerts(s, t.control);
  }
  const QString key = QStringLiteral("control \"%1\": %2").arg(control.name, feed.at);
  if (feed.columns) {
    QStringList names;
    for (const Series* series : shown) {
      const auto name = series->labels.find(feed.columns->by);
      names << (name == series->labels.end() ? QString() : name->second);
    }
    s.dashboard->setColumnNames(t.control, names);
    return reportOnce(s, key + QStringLiteral("columns"), among > t.columns,
                      QStringLiteral("%1 gives %2 series and the control shows %3 columns; %4 are left out")
                          .arg(feed.field)
                          .arg(among)
                          .arg(t.columns)
                          .arg(among - t.columns));
  }
  if (!feed.match.empty())
    return reportOnce(s, key + QStringLiteral("match"), among > 1,
                      QStringLiteral("%1 series of %2 match %3; the first is shown")
                          .arg(among)
                          .arg(feed.field, labelsText(feed.match)));
  reportOnce(
      s, key + QStringLiteral("field"), among > 1,
      QStringLiteral("%1 gives %2 series; the first is shown (\"match\" chooses one)").arg(feed.field).arg(among));
}

void Runner::reportOnce(Loaded& s, const QString& key, bool say, const QString& message) {
  if (!say) {
    s.reported.erase(key);
    return;
  }
  if (s.reported.insert(key).second) emit report(key + QStringLiteral(": ") + message);
}

// A control is marked while a firing alert concerns a series it shows.
void Runner::markAlerts(Loaded& s, int c) {
  QStringList names;
  for (const std::vector<Labels>& feed : s.shown[c])
    for (const Labels& labels : feed)
      for (const auto& [source, firing] : s.firing)
        for (const QString& name : alertsFiringFor(firing, labels))
          if (!names.contains(name)) names << name;
  s.dashboard->setAlerting(
      c, !names.isEmpty(),
      names.isEmpty() ? QString() : QStringLiteral("Alert firing: %1").arg(names.join(QStringLiteral(", "))));
}

QStringList Runner::firingFor(const Labels& labels) const {
  QStringList names;
  if (!current_) return names;
  for (const auto& [source, firing] : current_->firing)
    for (const QString& name : alertsFiringFor(firing, labels))
      if (!names.contains(name)) names << name;
  std::sort(names.begin(), names.end(), naturalLess);
  return names;
}

// A label with a feed shows its reading in its text; a reading that is not a number is not
// taken. A matched feed shows the first series that matches; a label fed by alerts shows
// what fires in its {alerts}. A label whose feed states `stale` is timed as a control's
// feed is, under the index -1 - its own, and shows no number while stale (see markStale).
void Runner::connectLabels(Loaded& s) {
  Dashboard& d = *s.dashboard;
  for (size_t i = 0; i < d.layout().labels.size(); ++i) {
    const LayoutLabel& label = d.layout().labels[i];
    if (!label.feed) continue;
    const LayoutFeed& feed = *label.feed;
    const int staleId = timeFeed(s.staleness, -1 - static_cast<int>(i), feed);
    const LayoutSource* entry = d.layout().source(feed.source);
    const SeriesKind kind = entry && entry->settings ? entry->settings->seriesKind() : SeriesKind::None;
    const auto show = [&s, shown = d.labels()[i], label, staleId](double value, const QString& alerts) {
      if (std::isnan(value)) return;
      if (label.block >= 0 && s.dashboard->isBlockDown(label.block)) return;
      if (staleId >= 0) s.staleness.fresh(staleId);
      shown->setText(formatLabel(label.text, value * label.feed->scale + label.feed->offset, alerts));
      shown->setEnabled(true);
      shown->setToolTip({});
    };
    const QString key = QStringLiteral("labels[%1]: feed.").arg(i);
    for (auto& source : s.sources) {
      if (source->name() != feed.source) continue;
      source->want(feed.field);
      if (kind == SeriesKind::Alerts) {
        connect(source.get(), &Source::series, d.labels()[i],
                [show, label](const QString& field, const std::vector<Series>& firing) {
                  if (field == label.feed->field) show(double(firing.size()), firingText(firing));
                });
      } else if (!feed.match.empty()) {
        connect(source.get(), &Source::series, d.labels()[i],
                [this, &s, show, label, key](const QString& field, const std::vector<Series>& all) {
                  if (field != label.feed->field) return;
                  const std::vector<const Series*> found = matchingSeries(all, label.feed->match);
                  reportOnce(s, key + QStringLiteral("match"), found.size() > 1,
                             QStringLiteral("%1 series of %2 match %3; the first is shown")
                                 .arg(found.size())
                                 .arg(field, labelsText(label.feed->match)));
                  if (!found.empty()) show(found.front()->value, {});
                });
      } else {
        if (kind == SeriesKind::Values)
          connect(source.get(), &Source::series, d.labels()[i],
                  [this, &s, label, key](const QString& field, const std::vector<Series>& all) {
                    if (field != label.feed->field) return;
                    reportOnce(s, key + QStringLiteral("field"), all.size() > 1,
                               QStringLiteral("%1 gives %2 series; the first is shown (\"match\" chooses one)")
                                   .arg(field)
                                   .arg(all.size()));
                  });
        connect(source.get(), &Source::reading, d.labels()[i], [show, label](const QString& field, double value) {
          if (field == label.feed->field) show(value, {});
        });
      }
    }
  }
}

void Runner::connectEvents(Loaded& s) {
  Dashboard& d = *s.dashboard;
  if (printer_) s.actions.setPrinter(printer_);
  connect(&s.actions, &Actions::problem, this, &Runner::report);
  connect(&s.actions, &Actions::acted, this, [this] { ++health_.actionsRun; });
  for (int c = 0; c < d.count(); ++c) {
    const LayoutControl& control = d.layout().controls[c];
    connect(d.control(c), &kyvqt::ControlWidget::errorOccurred, this,
            [this, name = control.name](const QString& step, const QString& kind, const QString& message) {
              emit report(QStringLiteral("control %1: %2: %3: %4").arg(name, step, kind, message));
            });
    if (control.on.empty()) continue;
    for (const LayoutEvent& e : control.on) s.actions.add(control.name, e);
    connect(d.control(c), &kyvqt::ControlWidget::eventRaised, this, [&s, c, name = control.name](const QString& event) {
      if (s.replaying) return;
      s.actions.fire(name, event, QString::fromStdString(s.lastValue[c].display()));
    });
  }
}

// A control given a reading it cannot show is marked, with the reading in its tooltip, and
// reported once, until it shows its readings again.
void Runner::markUnshown(Loaded& s, const FeedMap::Target& t, double value, bool shown) {
  const LayoutControl& control = s.dashboard->layout().controls[t.control];
  const LayoutFeed& feed = control.feeds[t.feed];
  std::map<int, QString>& feeds = s.unshown[t.control];
  const bool before = !feeds.empty(), feedBefore = feeds.count(t.feed) > 0;
  if (shown) {
    feeds.erase(t.feed);
  } else {
    feeds[t.feed] =
        QStringLiteral("Reading %1 from %2.%3 cannot be shown: %4 shows %5")
            .arg(QString::number(value, 'g', 12), feed.source, feed.field, control.className, t.range.text());
  }
  QStringList tips;
  for (const auto& [index, tip] : feeds) tips << tip;
  s.dashboard->setUnshown(t.control, !feeds.empty(), tips.join(u'\n'));
  if (!shown && !feedBefore)
    emit report(QStringLiteral("control %1: %2").arg(control.name, feeds[t.feed]));
  else if (before && feeds.empty())
    emit report(QStringLiteral("control %1: its readings are shown again").arg(control.name));
}

// A stale control is marked; a stale label shows no number (as before its first reading),
// greyed, with the age of its data in its tooltip, until its next reading.
void Runner::markStale(Loaded& s) {
  for (const auto& [index, mark] : s.staleness.check()) {
    if (index >= 0) {
      s.dashboard->setStale(index, mark.stale, mark.tooltip);
      continue;
    }
    if (!mark.stale) continue;
    const size_t i = static_cast<size_t>(-1 - index);
    QLabel* shown = s.dashboard->labels()[i];
    shown->setText(formatLabel(s.dashboard->layout().labels[i].text, std::nullopt));
    shown->setEnabled(false);
    shown->setToolTip(mark.tooltip);
  }
}

// The source of a repeat is asked its query; each answer says which blocks there are and
// which are down.
void Runner::connectRepeat(Loaded& s) {
  const std::optional<LayoutRepeat>& repeat = s.dashboard->layout().repeat;
  if (!repeat) return;
  for (auto& source : s.sources) {
    if (source->name() != repeat->source) continue;
    source->wantSeries(repeat->query);
    connect(source.get(), &Source::series, this,
            [this, query = repeat->query](const QString& field, const std::vector<Series>& all) {
              if (field == query) repeatAnswered(all);
            });
  }
  showBlockHealth(s);
}

// A value new to the answer adds its block; one that is no longer in it, or whose `up` is
// 0, is down from now on, and goes once down for the repeat's removeAfter.
void Runner::repeatAnswered(const std::vector<Series>& all) {
  if (!current_ || !current_->dashboard->layout().repeat) return;
  const LayoutRepeat& repeat = *current_->dashboard->layout().repeat;
  const qint64 now = clock_();
  bool changed = false;
  QSet<QString> present;
  for (const Series& series : all) {
    const auto label = series.labels.find(repeat.by);
    if (label == series.labels.end() || label->second.isEmpty()) continue;
    present.insert(label->second);
    const auto [at, added] = repeatValues_.try_emplace(label->second);
    changed |= added;
    const auto name = series.labels.find(QStringLiteral("__name__"));
    const bool scrapeFails = name != series.labels.end() && name->second == QLatin1String("up") && series.value == 0;
    if (!scrapeFails) {
      at->second.downSince = -1;
    } else if (at->second.downSince < 0) {
      at->second = {now, QStringLiteral("%1 is down: Prometheus cannot scrape it (up is 0)").arg(label->second)};
    }
  }
  for (auto at = repeatValues_.begin(); at != repeatValues_.end();) {
    BlockHealth& h = at->second;
    if (!present.contains(at->first) && h.downSince < 0)
      h = {now, QStringLiteral("%1 is down: it is gone from the answer to %2").arg(at->first, repeat.query)};
    const bool expired = h.downSince >= 0 && now - h.downSince >= fromSeconds(repeat.removeAfter).count();
    if (expired) emit report(QStringLiteral("block %1: removed, down for %2 s").arg(at->first).arg(repeat.removeAfter));
    changed |= expired;
    at = expired ? repeatValues_.erase(at) : std::next(at);
  }
  if (changed) return restructure_.start();
  showBlockHealth(*current_);
}

void Runner::showBlockHealth(Loaded& s) {
  Dashboard& d = *s.dashboard;
  const Layout& layout = d.layout();
  for (int b = 0; b < static_cast<int>(layout.blocks.size()); ++b) {
    const auto health = repeatValues_.find(layout.blocks[b].value);
    const bool down = health != repeatValues_.end() && health->second.downSince >= 0;
    if (down == d.isBlockDown(b)) continue;
    const QString why = down ? QStringLiteral("%1 since %2")
                                   .arg(health->second.why, QTime::currentTime()
                                                                .addMSecs(health->second.downSince - clock_())
                                                                .toString(QStringLiteral("HH:mm:ss")))
                             : QString();
    d.setBlockDown(b, down, why);
    for (int c = 0; c < d.count(); ++c)
      if (layout.controls[c].block == b) s.feed.hold(c, down);
    for (size_t i = 0; i < layout.labels.size(); ++i) {
      if (layout.labels[i].block != b || !layout.labels[i].feed || !down) continue;
      d.labels()[i]->setText(formatLabel(layout.labels[i].text, std::nullopt));
      d.labels()[i]->setEnabled(false);
      d.labels()[i]->setToolTip(why);
    }
    emit report(down ? QStringLiteral("block %1: %2").arg(layout.blocks[b].value, health->second.why)
                     : QStringLiteral("block %1: up again").arg(layout.blocks[b].value));
  }
}

void Runner::restructure() {
  if (!current_) return;
  const std::vector<LayoutBlock> before = current_->dashboard->layout().blocks;
  QStringList errors;
  std::unique_ptr<Loaded> next = load(loadedText_, &errors);
  if (!next) {
    for (const QString& e : errors) emit report(QStringLiteral("blocks not laid out again: ") + e);
    return;
  }
  replace(std::move(next));
  QStringList added, removed;
  const std::vector<LayoutBlock>& after = current_->dashboard->layout().blocks;
  const auto has = [](const std::vector<LayoutBlock>& blocks, const QString& value) {
    return std::any_of(blocks.begin(), blocks.end(), [&](const LayoutBlock& b) { return b.value == value; });
  };
  for (const LayoutBlock& b : after)
    if (!has(before, b.value)) added << b.value;
  for (const LayoutBlock& b : before)
    if (!has(after, b.value)) removed << b.value;
  if (!added.isEmpty()) emit report(QStringLiteral("blocks added: ") + added.join(QStringLiteral(", ")));
  if (!removed.isEmpty())
    emit report(QStringLiteral("blocks taken off the screen: ") + removed.join(QStringLiteral(", ")));
}

std::vector<std::pair<QString, bool>> Runner::repeatValues() const {
  std::vector<std::pair<QString, bool>> values;
  for (const auto& [value, health] : repeatValues_) values.emplace_back(value, health.downSince >= 0);
  return values;
}

}  // namespace kyvdash

namespace kyvdash {

// A feed whose control's class says how many readings its picture shows is a chart's: its
// readings are kept as the trail of what it shows.
void Runner::makeTrail(Loaded& s, const FeedMap::Target& target) {
  const kyv::Control* control = target.widget->control();
  if (!control) return;
  const kyv::FeedInfo& info = control->classInfo().members()[target.members.method].feed;
  if (!info.readingsShown) return;
  const LayoutControl& entry = s.dashboard->layout().controls[target.control];
  const LayoutFeed& feed = entry.feeds[target.feed];
  const LayoutSource* source = s.dashboard->layout().source(feed.source);
  Trail& t = s.trails.emplace_back();
  t.control = target.control;
  t.feed = target.feed;
  t.source = feed.source;
  t.field = feed.field;
  t.identity = entry.name.toUtf8() + '\n' + (source ? source->raw : QByteArray()) + '\n' + feed.field.toUtf8();
  t.shows = static_cast<size_t>(std::clamp(info.readingsShown(*control), 1, int(kMaxSavedReadings)));
  t.drawsFromZero = info.replay == kyv::Replay::Trace;
  s.trailTargets.push_back(target);
  s.trailsOf[t.source][t.field].push_back(s.trails.size() - 1);
}

// A chart whose control, source and field are as before keeps its readings; a control
// taken over at its size still shows them, any other is given them again.
void Runner::carryTrails(Loaded& s, Loaded& previous) {
  std::vector<int> renew;
  for (Trail& t : s.trails) {
    const auto before = std::find_if(previous.trails.begin(), previous.trails.end(),
                                     [&t](const Trail& p) { return p.identity == t.identity; });
    if (before == previous.trails.end() || before->readings.empty()) continue;
    t.assign({before->readings.begin(), before->readings.end()});
    const auto kept = std::find_if(s.adopted.begin(), s.adopted.end(),
                                   [&t](const Dashboard::Adopted& a) { return a.index == t.control; });
    if (kept == s.adopted.end() || kept->resized || before->shows != t.shows) renew.push_back(t.control);
  }
  std::sort(renew.begin(), renew.end());
  renew.erase(std::unique(renew.begin(), renew.end()), renew.end());
  for (int c : renew) showTrails(s, c);
}

// The history file's trails, given to the charts of the same control, source and field. A
// file that is missing, damaged or of another layout is reported and left alone.
void Runner::readHistory(Loaded& s) {
  if (historyPath_.isEmpty()) return;
  QString problem;
  std::optional<std::vector<SavedTrail>> saved;
  if (!QFileInfo::exists(historyPath_)) {
    problem = QStringLiteral("does not exist yet");
  } else {
    try {
      const std::string text = kyv::readFileAtMost(historyPath_.toStdString(), kMaxHistoryBytes);
      saved = kyvdash::readHistory(QByteArray::fromStdString(text), QFileInfo(path_).absoluteFilePath(), &problem);
    } catch (const kyv::Error& e) {
      problem = QStringLiteral("cannot be read: ") + QString::fromUtf8(e.what()).section(QStringLiteral(": "), -1);
    }
  }
  if (!saved) {
    emit report(QStringLiteral("history %1 %2; the graphs start without it").arg(historyPath_, problem));
    return;
  }
  std::vector<int> shown;
  for (const SavedTrail& from : *saved) {
    for (Trail& t : s.trails) {
      if (t.identity != from.identity || from.readings.empty()) continue;
      t.assign(from.readings);
      shown.push_back(t.control);
    }
  }
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  for (int c : shown) showTrails(s, c);
}

namespace {

// The trails `field` of `source` feeds; null when it feeds none. Found without building a
// key, as every reading of every source asks.
const std::vector<size_t>* trailsFed(const QHash<QString, QHash<QString, std::vector<size_t>>>& trailsOf,
                                     const QString& source, const QString& field) {
  const auto bySource = trailsOf.constFind(source);
  if (bySource == trailsOf.constEnd()) return nullptr;
  const auto byField = bySource->constFind(field);
  return byField == bySource->constEnd() ? nullptr : &*byField;
}

}  // namespace

void Runner::takeLive(Loaded& s, const QString& source, const QString& field, double value) {
  const std::vector<size_t>* found = trailsFed(s.trailsOf, source, field);
  if (!found || std::isnan(value)) return;
  const qint64 at = wallClock();
  for (size_t t : *found) s.trails[t].take({at, value});
  ++trailChanges_;
}

void Runner::takePast(Loaded& s, const QString& source, const QString& field, const std::vector<TimedReading>& past,
                      qint64 step) {
  const std::vector<size_t>* found = trailsFed(s.trailsOf, source, field);
  if (!found) return;
  for (size_t i : *found) {
    Trail& t = s.trails[i];
    const std::vector<TimedReading> joined = joinPast(past, t.readings, step, t.shows);
    if (std::equal(joined.begin(), joined.end(), t.readings.begin(), t.readings.end())) continue;
    t.assign(joined);
    ++trailChanges_;
    showTrails(s, t.control);
  }
}

void Runner::askPast(Loaded& s, size_t index, const std::function<bool(size_t trail)>& wanted) {
  std::map<QString, int> counts;  // by field: the most readings a chart of it shows
  for (size_t t = 0; t < s.trails.size(); ++t) {
    const Trail& trail = s.trails[t];
    if (trail.source != s.sources[index]->name() || !wanted(t)) continue;
    counts[trail.field] = std::max(counts[trail.field], static_cast<int>(trail.shows));
  }
  for (const auto& [field, count] : counts)
    if (!s.sources[index]->askPast(field, count)) return;
}

void Runner::showTrails(Loaded& s, int control) {
  s.replaying = true;
  s.dashboard->renew(control);
  for (size_t t = 0; t < s.trails.size(); ++t) {
    if (s.trails[t].control != control) continue;
    for (double value : s.trails[t].picture()) FeedMap::replay(s.trailTargets[t], value);
  }
  s.replaying = false;
}

}  // namespace kyvdash
