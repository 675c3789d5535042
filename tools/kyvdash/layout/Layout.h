#pragma once
// The layout file of a dashboard: the controls of a form document (name, class, rectangle,
// stored properties), each with the feed that gives it values and the actions its events
// run, and the data sources those feeds read. parseLayout checks the file's shape and
// values; checkClasses checks it against the controls' own type info.
#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "SourceKind.h"
#include "kyv/bag.h"
#include "kyv/registry.h"

namespace kyvdash {

// A source as the layout gives it: its kind reads its settings and makes it.
struct LayoutSource {
  QString name;
  const SourceKind* kind = nullptr;                // null when the layout names no kind known
  std::shared_ptr<const SourceSettings> settings;  // what its kind read of it
  QByteArray raw;                                  // its name and its JSON text: sources with the same are the same
};

// A multi-bar fed one column a series: which label orders and names the columns, and
// where the names are written.
struct LayoutColumns {
  QString by;    // the label whose values name the columns, in natural order
  QRectF names;  // twips: the strip the names are written in, one a column (default: under the control)
};

struct LayoutFeed {
  QString source;    // a source's name
  QString field;     // what of that source: a line's NAME, a CSV column, a metric
  double scale = 1;  // value shown = round(reading * scale + offset)
  double offset = 0;
  QString method;                        // empty: the class's feed method
  std::optional<int> column;             // called through the class's Column method first
  Labels match;                          // of a field giving several series: the one whose labels include these
  std::optional<LayoutColumns> columns;  // of a field giving several series: one a column
  std::optional<double> staleAfter;      // seconds without a reading before the control is marked
                                         // (prometheus-query: three intervals unless given)
  QString at;                            // where it stands in its control, for messages: "feed." or "feed[1]."
};

struct LayoutAction {
  enum class Kind { Print, Log, Run };
  Kind kind = Kind::Print;
  QString text;         // print, log: the line, with {time} {control} {event} {value}
  QString path;         // log: the file appended to
  QStringList command;  // run: program and arguments, the same placeholders allowed
  double timeout = 10;  // run: seconds before the command is ended
  double holdoff = 60;  // seconds in which repeated events act once
};

struct LayoutEvent {
  QString event;
  std::vector<LayoutAction> actions;
};

struct LayoutControl {
  QString name;
  QString className;
  QRectF rect;  // twips: left, top, width, height
  kyv::PropertyBag properties;
  std::vector<LayoutFeed> feeds;
  std::vector<LayoutEvent> on;
  QByteArray raw;            // its JSON text: controls with the same are the same
  QByteArray rawBesideRect;  // its JSON text without its rectangle: the same control, maybe moved
};

struct LayoutLabel {
  QString text;                    // with {value}, {value:.1f} or {value:si} when it has a feed
  QRectF rect;                     // twips
  std::optional<LayoutFeed> feed;  // the reading it shows
};

struct Layout {
  QString title;
  std::optional<QColor> background;
  std::optional<QSizeF> size;  // twips; else the controls' and labels' extent plus a margin
  std::vector<LayoutSource> sources;
  std::vector<LayoutControl> controls;
  std::vector<LayoutLabel> labels;
  QString history;       // the file that keeps the charts' recent readings between runs, as written; empty: none
  QStringList warnings;  // what may not do what the author meant, written as errors are

  const LayoutSource* source(const QString& name) const;
  // The size the dashboard shows at, in twips.
  QSizeF extent() const;
};

// The text an action shows when the layout gives none.
inline constexpr const char* kDefaultActionText = "{time} {control} {event} {value}";

// Reads a layout from JSON text. Every problem found is appended to `errors` as
// `control "NAME": FIELD: what is wrong` (or `source "NAME": ...`, `FIELD: ...` for the
// file's own members); the layout is only usable when `errors` stays empty.
Layout parseLayout(const QByteArray& text, QStringList& errors);

}  // namespace kyvdash
