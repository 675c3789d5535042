#pragma once
// What the charts of a screen have shown: a chart is a control's feed whose class says how
// many of the latest readings its picture shows (kyv::FeedInfo::readingsShown, a trace's
// points or a bar graph's bars). Its trail is those readings with their times. A trail
// outlives its control across a reload, is filled from a source's own past (a Prometheus
// server's range query) joined with the live readings, and is kept in a history file
// between runs.
#include <QByteArray>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "Readings.h"

namespace kyvdash {

struct Trail {
  int control = 0;      // index of the control in its layout
  int feed = 0;         // index of the feed in the control
  QString source;       // the feed's source's name
  QString field;        // and field
  QByteArray identity;  // the control's name, the source's JSON text and the field: kept for the same
  size_t shows = 1;     // readings the picture shows
  // A trace: until it has been given `shows` readings, it draws its first point from 0.
  bool drawsFromZero = false;
  std::deque<TimedReading> readings;  // oldest first, at most `shows`

  // Appends `reading`, dropping the oldest beyond `shows`.
  void take(TimedReading reading);
  // Replaces the readings with the newest `shows` of `all`.
  void assign(const std::vector<TimedReading>& all);
  // The values to give a fresh control so that it shows the trail: its readings, and for a
  // trace of fewer than it shows, its first reading repeated before them, so that the line
  // starts level at it rather than rising from a 0 never read.
  std::vector<double> picture() const;
};

// A source's past (oldest first, one every `step` ms) joined with the live readings a trail
// took meanwhile: a live reading within half a step of the past's last one is the same
// moment and is dropped; later ones follow. The newest `keep`.
std::vector<TimedReading> joinPast(const std::vector<TimedReading>& past, const std::deque<TimedReading>& live,
                                   qint64 step, size_t keep);

// What a history file holds of one trail.
struct SavedTrail {
  QByteArray identity;
  std::vector<TimedReading> readings;  // oldest first
};

// The largest history file read, and the most readings a trail keeps in one.
inline constexpr qint64 kMaxHistoryBytes = 32 << 20;
inline constexpr size_t kMaxSavedReadings = 32768;

// The text of the history file of layout `layout` (its absolute path) holding `trails`;
// readings that are not finite are left out.
QByteArray historyText(const QString& layout, const std::vector<const Trail*>& trails, qint64 savedAt);
// The trails a history file's text holds when it is whole and of layout `layout`; nothing,
// with why in `problem`, otherwise: nothing of a damaged file is taken.
std::optional<std::vector<SavedTrail>> readHistory(const QByteArray& text, const QString& layout, QString* problem);

}  // namespace kyvdash
