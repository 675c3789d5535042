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
    FeedRange range{-1e308, 1e308};  // what the control shows of the value it is given
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

  // Holds back every reading of control `control` (by its index in the layout), or passes
  // them on again: a control whose readings would not be true (its host is down).
  void hold(int control, bool held);
  bool held(int control) const { return control < static_cast<int>(held_.size()) && held_[control]; }

  // Gives `reading` to every control fed by `field` of `source`.
  void deliver(const QString& source, const QString& field, double reading);

 private:
  struct Entry {
    Target target;
    bool failing = false;
    bool unshown = false;
  };
  void feed(Entry& entry, double reading);
  QHash<QString, QHash<QString, std::vector<Entry>>> routes_;
  Fed fed_;
  Failed failed_;
  Unshown unshown_;
  std::vector<bool> held_;  // by control
};

}  // namespace kyvdash
