#include "Runner.h"

#include <QFile>
#include <QFileInfo>

#include "Actions.h"
#include "ClassCheck.h"
#include "CommandSource.h"
#include "FeedMap.h"
#include "FileSource.h"
#include "ProcSource.h"
#include "PromSource.h"
#include "Staleness.h"
#include "StdinSource.h"

namespace kyvdash {
namespace {

std::chrono::milliseconds ms(double seconds) {
  return std::chrono::milliseconds(static_cast<qint64>(seconds * 1000));
}

}  // namespace

struct Runner::Screen {
  explicit Screen(const Clock& clock) : staleness(clock), actions(clock) {}
  ~Screen() {
    sources.clear();  // no reading reaches a control that is going
    delete dashboard.data();
  }
  QPointer<Dashboard> dashboard;
  std::vector<std::unique_ptr<Source>> sources;
  FeedMap feed;
  Staleness staleness;
  Actions actions;
  QTimer staleTimer;
  std::vector<kyv::Variant> lastValue;  // by control: what its feed method was last given
  std::vector<qint64> lastAt;           // by control: when, -1 before the first
};

Runner::Runner(QString layoutPath, kyv::Registry* registry, QObject* parent)
    : QObject(parent), path_(std::move(layoutPath)), registry_(registry) {
  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &Runner::reload);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_, qOverload<>(&QTimer::start));
}

Runner::~Runner() = default;

Dashboard* Runner::dashboard() const { return screen_ ? screen_->dashboard.data() : nullptr; }

Runner::Fed Runner::fed(int index) const {
  if (!screen_ || index < 0 || index >= static_cast<int>(screen_->lastAt.size())) return {};
  const qint64 at = screen_->lastAt[index];
  return {at < 0 ? QString() : QString::fromStdString(screen_->lastValue[index].display()), at};
}

FdReader& Runner::stdinReader() {
  if (!stdin_) stdin_ = std::make_unique<FdReader>(stdinFd_);
  return *stdin_;
}

bool Runner::start(QStringList* errors) {
  screen_ = load(errors);
  if (!screen_) return false;
  watcher_.addPath(path_);
  watcher_.addPath(QFileInfo(path_).absolutePath());
  run(*screen_);
  return true;
}

bool Runner::check(QStringList* errors) {
  const bool ok = load(errors) != nullptr;
  loaded_.clear();
  return ok;
}

void Runner::reload() {
  if (!watcher_.files().contains(path_)) watcher_.addPath(path_);  // replaced by an editor
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly) || file.peek(1).isEmpty()) return;  // being written: a later change follows
  if (file.readAll() == loaded_) return;
  QStringList errors;
  std::unique_ptr<Screen> next = load(&errors);
  if (!next) {
    emit report(QStringLiteral("%1 not reloaded; the running screen stays:").arg(path_));
    for (const QString& e : errors) emit report(QStringLiteral("  ") + e);
    return;
  }
  std::unique_ptr<Screen> old = std::move(screen_);
  screen_ = std::move(next);
  run(*screen_);
  emit dashboardReplaced(screen_->dashboard);
  old.reset();
  emit report(QStringLiteral("%1 reloaded").arg(path_));
}

std::unique_ptr<Runner::Screen> Runner::load(QStringList* errors) {
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) {
    *errors << QStringLiteral("cannot read %1: %2").arg(path_, file.errorString());
    return nullptr;
  }
  const QByteArray text = file.readAll();
  Layout layout = parseLayout(text, *errors);
  if (!errors->isEmpty()) return nullptr;
  kyv::Registry& registry = registry_ ? *registry_ : kyvqt::ControlWidget::defaultRegistry();
  checkClasses(layout, registry, *errors);
  if (!errors->isEmpty()) return nullptr;
  auto screen = std::make_unique<Screen>(clock_);
  screen->dashboard = new Dashboard(std::move(layout), &registry);
  *errors << screen->dashboard->build();
  if (!errors->isEmpty()) return nullptr;
  loaded_ = text;
  return screen;
}

void Runner::run(Screen& s) {
  const Layout& layout = s.dashboard->layout();
  for (const LayoutSource& entry : layout.sources) {
    std::unique_ptr<Source> source;
    switch (entry.kind) {
      case SourceKind::Stdin: source = std::make_unique<StdinSource>(entry.name, stdinReader()); break;
      case SourceKind::File: {
        auto f = std::make_unique<FileSource>(entry.name, entry.path);
        if (entry.csv) f->setCsv(entry.separator);
        f->setPoll(ms(entry.poll));
        source = std::move(f);
        break;
      }
      case SourceKind::Proc: source = std::make_unique<ProcSource>(entry.name, ms(entry.interval)); break;
      case SourceKind::Prometheus:
        source = std::make_unique<PromSource>(entry.name, QUrl(entry.url), ms(entry.interval), ms(entry.timeout));
        break;
      case SourceKind::Command: source = std::make_unique<CommandSource>(entry.name, entry.command); break;
    }
    source->setRetry(firstRetry_, std::max(firstRetry_, std::chrono::milliseconds(60000)));
    s.sources.push_back(std::move(source));
  }
  connectSources(s);
  connectEvents(s);
  if (!s.staleness.empty()) {
    s.staleTimer.setInterval(staleCheck_);
    connect(&s.staleTimer, &QTimer::timeout, this, [this, &s] { markStale(s); });
    s.staleTimer.start();
  }
  for (auto& source : s.sources) source->start();
}

// Every feed is routed from its source and field to its control, and timed for staleness.
void Runner::connectSources(Screen& s) {
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
      FeedMap::Target t{d.control(c), c, f, *feedMembers(d.control(c)->control()->classInfo(), feed, &field, &problem),
                        feed.scale, feed.offset, feed.column};
      s.feed.add(feed.source, feed.field, t);
      staleIds[c].push_back(feed.staleAfter ? s.staleness.add(c, feed.source + u'.' + feed.field,
                                                               static_cast<qint64>(*feed.staleAfter * 1000))
                                            : -1);
      for (auto& source : s.sources)
        if (source->name() == feed.source) source->want(feed.field);
    }
  }
  s.feed.setFed([this, &s, staleIds](const FeedMap::Target& t, const kyv::Variant& shown) {
    s.lastValue[t.control] = shown;
    s.lastAt[t.control] = clock_();
    if (const int id = staleIds[t.control][t.feed]; id >= 0) s.staleness.fresh(id);
  });
  s.feed.setFailed([this, &s](const FeedMap::Target& t, const QString& message) {
    emit report(QStringLiteral("control %1: %2").arg(s.dashboard->layout().controls[t.control].name, message));
  });
  for (auto& source : s.sources) {
    Source* src = source.get();
    health_.sourceUp[src->name()] = true;
    connect(src, &Source::reading, this, [&s, name = src->name()](const QString& field, double value) {
      s.feed.deliver(name, field, value);
    });
    connect(src, &Source::problem, this, [this, name = src->name()](const QString& m) {
      health_.sourceUp[name] = false;
      ++health_.sourceErrors;
      emit report(QStringLiteral("source %1: %2").arg(name, m));
    });
    connect(src, &Source::recovered, this, [this, name = src->name()] {
      health_.sourceUp[name] = true;
      emit report(QStringLiteral("source %1: reading again").arg(name));
    });
  }
}

void Runner::connectEvents(Screen& s) {
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
      s.actions.fire(name, event, QString::fromStdString(s.lastValue[c].display()));
    });
  }
}

void Runner::markStale(Screen& s) {
  for (const auto& [control, mark] : s.staleness.check()) s.dashboard->setStale(control, mark.stale, mark.tooltip);
}

}  // namespace kyvdash
