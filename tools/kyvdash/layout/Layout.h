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

#include "Repeat.h"
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
  QByteArray raw;            // its JSON text: controls with the same are the same (a repeated one's without its place)
  QByteArray rawBesideRect;  // its JSON text without its rectangle: the same control, maybe moved
  int block = -1;            // the repeated block it belongs to, -1 for none
};

struct LayoutLabel {
  QString text;                    // with {value}, {value:.1f} or {value:si} when it has a feed
  QRectF rect;                     // twips
  std::optional<LayoutFeed> feed;  // the reading it shows
  QByteArray raw;                  // its JSON text (a repeated one's without its place)
  int block = -1;                  // the repeated block it belongs to, -1 for none
};

// A group of controls and labels written once and repeated for each value of a label that
// a query of a source gives (`instance` of `up{job="node"}`), `{LABEL}` in its texts
// replaced by the value and each control named `NAME[VALUE]`.
struct LayoutRepeat {
  QString source;            // a source that emits every series of a query (prometheus-query)
  QString query;             // the expression whose series make the blocks
  QString by;                // the label whose values they are
  int max = 50;              // the most blocks shown; the others are counted in a "+N more" label
  double removeAfter = 300;  // seconds a block stays, marked down, once its series is gone
  Arrangement arrangement = Arrangement::Tiles;
  std::optional<QRectF> area;  // twips: where the blocks are laid out (else below the rest)
  double gap = 120;            // twips between two blocks
  QSizeF blockSize;            // twips: the group's own extent, from its origin
  std::string group;           // the JSON of {"controls": [...], "labels": [...]}, rectangles within the block
};

// A repeated block as the screen shows it.
struct LayoutBlock {
  QString value;  // the label's value it shows
  QRectF rect;    // twips
};

struct Layout {
  QString title;
  std::optional<QColor> background;
  std::optional<QSizeF> size;  // twips; else the controls' and labels' extent plus a margin
  std::vector<LayoutSource> sources;
  std::vector<LayoutControl> controls;
  std::vector<LayoutLabel> labels;
  QString history;  // the file that keeps the charts' recent readings between runs, as written; empty: none
  std::optional<LayoutRepeat> repeat;
  std::vector<LayoutBlock> blocks;  // the repeated blocks laid out (see expandRepeat)
  int moreLabel = -1;               // the label that counts the blocks beyond `max`, -1 for none
  QStringList warnings;             // what may not do what the author meant, written as errors are

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

// `layout` (as parseLayout read it) with a block of its repeated group for each of
// `values` (in the order given) laid out in the repeat's area, and a "+`more` more" label
// after them when `more` is above 0. A block whose controls cannot be read so (a value
// that makes a field wrong) is left out and its problems appended to `errors`.
Layout expandRepeat(const Layout& layout, const QStringList& values, int more, QStringList& errors);

}  // namespace kyvdash
