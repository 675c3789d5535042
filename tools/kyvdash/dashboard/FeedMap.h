#pragma once
// Routes each reading of a source to the controls it feeds: the reading is scaled and
// offset, rounded half to even into the feed method's integer and held inside its range,
// then passed to the method (after Column, for a feed that selects a column).
#include <QHash>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "ClassCheck.h"
#include "FeedRange.h"
#include "Readings.h"
#include "kyv/variant.h"

namespace kyvqt {
class ControlWidget;
}

namespace kyvdash {

// The argument a feed method is given for `reading`: integers rounded half to even and held
// inside the type's range, other numbers as they are. Nothing for a reading that is not a
// number (NaN).
std::optional<kyv::Variant> feedArgument(double reading, kyv::VarType type);

class FeedMap {
 public:
  struct Target {
    kyvqt::ControlWidget* widget = nullptr;
    int control = 0;  // index of the control in its layout
    int feed = 0;     // index of the feed in the control
    FeedMembers members;
    double scale = 1, offset = 0;
    std::optional<int> column;
    FeedRange range{-1e308, 1e308};         // what the control shows of the value it is given
    Labels match = {};                      // fed the first series whose labels include these (see deliverSeries)
    std::optional<QString> columnsBy = {};  // fed one column a series, in the natural order of this label
    int columns = 0;                        // with columnsBy: the columns the control shows
    // Whether it is fed from the series of its field rather than from its plain reading.
    bool bySeries() const { return !match.empty() || columnsBy.has_value(); }
  };
  // Runs before each call of a feed method, with the value it is given (as text), so that
  // the control's events know the value that raised them.
  using Fed = std::function<void(const Target& target, const kyv::Variant& shown)>;
  // A call failed: the control, the member and the error; reported once until a call of the
  // same feed succeeds again.
  using Failed = std::function<void(const Target& target, const QString& message)>;

  void add(const QString& source, const QString& field, const Target& target);
  void setFed(Fed fed) { fed_ = std::move(fed); }
  void setFailed(Failed failed) { failed_ = std::move(failed); }
  // Each value beyond what the control shows (`shown` false), and the first it shows again
  // after one; the value is passed on all the same.
  using Unshown = std::function<void(const Target& target, double value, bool shown)>;
  void setUnshown(Unshown unshown) { unshown_ = std::move(unshown); }

  // The series a feed was given from an answer of its field (one, or one a column, in
  // order), and how many it chose among: every series of a plain feed, those that match of
  // a matched one (whose first is shown), or those that fill columns or would (beyond them).
  using Chosen = std::function<void(const Target& target, const std::vector<const Series*>& shown, int among)>;
  void setChosen(Chosen chosen) { chosen_ = std::move(chosen); }

  // Holds back every reading of control `control` (by its index in the layout), or passes
  // them on again: a control whose readings would not be true (its host is down).
  void hold(int control, bool held);
  bool held(int control) const { return control < static_cast<int>(held_.size()) && held_[control]; }

  // Gives `reading` to every control fed by `field` of `source` from its plain reading.
  void deliver(const QString& source, const QString& field, double reading);
  // Gives every control fed by `field` of `source` what it takes of `all`: a plain feed is
  // told what it shows (the first; its reading comes with deliver), a matched feed the first
  // series that matches (none: no reading), a feed of columns one series a column in the
  // natural order of its label (columns left without one since the last answer get 0).
  void deliverSeries(const QString& source, const QString& field, const std::vector<Series>& all);
  // Gives `reading` to the target's control as deliver would, but quietly (a reading shown
  // again, not a new one): nothing is marked, reported or counted. False when it is not a
  // number or the control refuses it.
  static bool replay(const Target& target, double reading);

 private:
  struct Entry {
    Target target;
    bool failing = false;
    bool unshown = false;
    int columnsFed = 0;  // columns given a series by the last answer (before the first: all)
  };
  void feed(Entry& entry, double reading, std::optional<int> column = std::nullopt);
  void give(Entry& entry, double value, std::optional<int> column);
  void feedColumns(Entry& entry, const std::vector<Series>& all);
  QHash<QString, QHash<QString, std::vector<Entry>>> routes_;
  Fed fed_;
  Failed failed_;
  Unshown unshown_;
  Chosen chosen_;
  std::vector<bool> held_;  // by control
};

}  // namespace kyvdash
