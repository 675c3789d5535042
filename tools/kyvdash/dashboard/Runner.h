#pragma once
// Runner: a dashboard running from its layout file. It reads and checks the file, builds
// the screen, starts the sources, routes their readings to the controls, runs the events'
// actions and marks stale controls. When the file changes it is read again; a file with
// errors is reported (once, until it changes again) and the running screen stays; a good
// one replaces it, keeping the sources and controls it gives exactly as before.
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>

#include "Clock.h"
#include "Dashboard.h"
#include "FeedMap.h"
#include "History.h"
#include "Repeat.h"

namespace kyvdash {

class FdReader;
class Source;

class Runner : public QObject {
  Q_OBJECT

 public:
  explicit Runner(QString layoutPath, kyv::Registry* registry = nullptr, QObject* parent = nullptr);
  ~Runner() override;

  // Reads the layout and starts it. Returns false, with every problem of the file in
  // `errors`, when it cannot; then nothing is started. Its warnings are reported.
  bool start(QStringList* errors);
  // Reads and checks the layout, builds its screen and drops it again, starting nothing.
  // Returns false, with every problem in `errors`, when the layout has any; else true, with
  // what may show wrong in `warnings` when given, what the servers of its queries give its
  // feeds among them (each source asked once, within 2 s).
  bool check(QStringList* errors, QStringList* warnings = nullptr);
  // The screen running now (replaced by a reload).
  Dashboard* dashboard() const;
  // Whether the layout has sources and each has reported a problem and given nothing since.
  bool everySourceFailing() const;

  // Settings for tests, given before start(): the clock of staleness and hold-offs, the
  // file descriptor standard input sources read, how often staleness is looked at, the
  // first retry delay of every source, and where printed lines go.
  void setClock(Clock clock) { clock_ = std::move(clock); }
  void setStdinFd(int fd) { stdinFd_ = fd; }
  void setStaleCheckInterval(std::chrono::milliseconds interval) { staleCheck_ = interval; }
  void setFirstRetry(std::chrono::milliseconds delay) { firstRetry_ = delay; }
  void setPrinter(std::function<void(const QString&)> printer) { printer_ = std::move(printer); }
  // How often the layout's history file is written (every 5 s unless set, before start()).
  void setHistoryInterval(std::chrono::milliseconds interval) { historyTimer_.setInterval(interval); }

  // Reads the layout file again now (a change of the file does this on its own).
  void reload();

  // kyvdash's own health: each source's state, failures reported, actions taken.
  struct Health {
    std::map<QString, bool> sourceUp;  // by source name: read since its last failure
    quint64 sourceErrors = 0;
    quint64 actionsRun = 0;
  };
  const Health& health() const { return health_; }
  // What control `index` of the running screen was last given, and when (the clock's ms,
  // -1 before its first reading).
  struct Fed {
    QString value;
    qint64 at = -1;
  };
  Fed fed(int index) const;
  qint64 now() const { return clock_(); }
  // The names of the alerts firing now, by the layout's prometheus-alerts sources, that
  // concern series (or a block of them) labelled `labels`; empty when none does.
  QStringList firingFor(const Labels& labels) const;
  // What chart control `index` shows (its first feed that is a chart's): the readings it was
  // given, oldest first, with their times; empty for a control that shows one reading.
  std::vector<TimedReading> trail(int index) const;
  // Writes the layout's history file now, when the charts took readings since it was last
  // written (a timer does so every few seconds, and so does the end of the runner).
  void saveHistory();

  // The values of a repeat's label known now, in natural order (those shown and those beyond
  // its `max`), each with whether it is down.
  std::vector<std::pair<QString, bool>> repeatValues() const;

 signals:
  // A new screen replaced the old one, which is deleted after this signal.
  void dashboardReplaced(kyvdash::Dashboard* dashboard);
  // Something worth a line: a source failing or coming back, an action or a control call
  // failing, a reload done or refused.
  void report(const QString& line);

 private:
  struct Loaded;
  std::unique_ptr<Loaded> load(const QByteArray& text, QStringList* errors);
  // Reads the layout file, or returns nothing with the reason in `errors`.
  std::optional<QByteArray> readFile(QStringList* errors) const;
  // Puts `next` in place of the running screen, taking over what it gives as before.
  void replace(std::unique_ptr<Loaded> next);
  // The running layout again with the blocks its repeat has now.
  void restructure();
  void repeatAnswered(const std::vector<Series>& all);
  // Marks each repeated block of the screen down or up as its series' health says, holding
  // back the readings of those down.
  void showBlockHealth(Loaded& loaded);
  // Starts the screen's sources, taking over those of `previous` that did not change.
  void run(Loaded& loaded, Loaded* previous = nullptr);
  std::unique_ptr<Source> takeSource(Loaded* previous, const LayoutSource& entry);
  void connectSources(Loaded& loaded);
  void connectEvents(Loaded& loaded);
  void connectLabels(Loaded& loaded);
  void connectRepeat(Loaded& loaded);
  void markStale(Loaded& loaded);
  void markUnshown(Loaded& loaded, const FeedMap::Target& target, double value, bool shown);
  void connectSeries(Loaded& loaded, size_t source);
  void chosen(Loaded& loaded, const FeedMap::Target& target, const std::vector<const Series*>& shown, int among);
  void markAlerts(Loaded& loaded, int control);
  // Reports `message` under `key` once, until `say` is false for that key again.
  void reportOnce(Loaded& loaded, const QString& key, bool say, const QString& message);
  void makeTrail(Loaded& loaded, const FeedMap::Target& target);
  void carryTrails(Loaded& loaded, Loaded& previous);
  void readHistory(Loaded& loaded);
  void takeLive(Loaded& loaded, const QString& source, const QString& field, double value);
  void takePast(Loaded& loaded, const QString& source, const QString& field, const std::vector<TimedReading>& past,
                qint64 step);
  // Asks source `index` for the past of the trails it feeds that `wanted` picks.
  void askPast(Loaded& loaded, size_t index, const std::function<bool(size_t trail)>& wanted);
  // Creates control `control` anew and gives it its trails' readings again.
  void showTrails(Loaded& loaded, int control);
  bool writeHistory(QString* problem);
  FdReader& stdinReader();

  QString path_;
  kyv::Registry* registry_;
  QByteArray loadedText_;  // the text of the running layout
  QByteArray rejected_;    // the text last reported as having errors
  std::unique_ptr<Loaded> current_;
  std::unique_ptr<FdReader> stdin_;
  QFileSystemWatcher watcher_;
  QTimer settle_;  // a change is read once the file has been quiet a moment
  Clock clock_ = steadyClock();
  int stdinFd_ = 0;
  std::chrono::milliseconds staleCheck_{1000};
  std::chrono::milliseconds firstRetry_{1000};
  std::chrono::milliseconds checkTimeout_{2000};
  std::function<void(const QString&)> printer_;
  Health health_;
  QString historyPath_;       // the layout's history file, absolute; empty: none
  QTimer historyTimer_;       // writes it every few seconds
  QString historyProblem_;    // the failure to write it last reported, until a write succeeds
  quint64 trailChanges_ = 0;  // readings the charts took, counted
  quint64 trailsSaved_ = 0;   // the count when the history file was last written
  // A repeat's value: since when it is down (the clock's ms, -1 while up) and why.
  struct BlockHealth {
    qint64 downSince = -1;
    QString why;
  };
  std::map<QString, BlockHealth, NaturalLess> repeatValues_;
  QString repeatKey_;   // the source, query and label of the running repeat
  QTimer restructure_;  // the blocks changed: the screen is laid out again once the answer is handled
};

}  // namespace kyvdash
