#include "kyv/control.h"

#include <cmath>
#include <string>

#include "damage.h"
#include "kyv/error.h"
#include "kyv/site.h"

namespace kyv {

Control::Control(const ClassInfo& info, Registry* registry) : info_(info), registry_(registry), surface_(*this) {
  surface_.setRectTwips(0, 0, info.defaultWidth(), info.defaultHeight());
}

Control::~Control() = default;

void Control::ReadProperties(PropertyBag& bag) { info_.readProperties(*this, bag); }
void Control::WriteProperties(PropertyBag& bag) { info_.writeProperties(*this, bag); }

void Control::checkExtent(float width, float height) {
  // A size that is no number would reach every layout rule and every picture size.
  if (std::isfinite(width) && std::isfinite(height)) return;
  raise(ErrorKind::InvalidPropertyValue, "Invalid property value: the extent " + formatNumber(width) + " x " +
                                             formatNumber(height) +
                                             " twips is not a size: both must be finite numbers");
}

void Control::setExtent(float width, float height) {
  checkExtent(width, height);
  surface_.setRectTwips(0, 0, width, height);
  Resize();
}

Variant Control::get(std::string_view name) {
  return invoke(info_.bind(name, MemberKind::Property), Invoke::Get, nullptr);
}

void Control::put(std::string_view name, const Variant& value) {
  Variant v = value;
  invoke(info_.bind(name, MemberKind::Property), Invoke::Put, &v);
}

Variant Control::call(std::string_view name, Variant& arg) {
  return invoke(info_.bind(name, MemberKind::Method), Invoke::Call, &arg);
}

Variant Control::invoke(int member, Invoke how, Variant* arg) {
  const auto& members = info_.members();
  if (member < 0 || member >= static_cast<int>(members.size()))
    raise(ErrorKind::NoSuchMember,
          "Object doesn't support this property or method: no member " + std::to_string(member));
  const bool isMethod = members[member].kind == MemberKind::Method;
  if (isMethod != (how == Invoke::Call))
    raise(ErrorKind::NoSuchMember,
          "Object doesn't support this property or method: " + std::string(members[member].name) +
              (isMethod ? " is a method" : " is a property"));
  if (how == Invoke::Put && !arg) raise(ErrorKind::TypeMismatch, "Type mismatch: no value to write");
  ++calls_;
  Variant result;
  try {
    result = info_.invoke(*this, member, how, arg);
  } catch (...) {
    endCall();
    throw;
  }
  endCall();
  return result;
}

// Elements call this just before they change. Inside a late-bound call the report waits
// for the call's end, when the damage is complete. Outside one there is no end to wait
// for, and the change is not made yet, so its damage cannot be known: the site is told
// that any pixel may differ, and a host painting with onlyDamage still paints only the
// damage, worked out when it paints.
void Control::invalidate() {
  const bool first = !dirty_;
  dirty_ = true;
  damageKnown_ = false;
  if (calls_ > 0)
    unreported_ = true;
  else if (first)
    report(Region::everything());
}

// Changes made during a call are reported once, when the outermost call ends, with all
// of them in the region.
void Control::endCall() {
  if (--calls_ > 0 || !unreported_) return;
  unreported_ = false;
  // An embedded control's damage is worked out with that of the control holding it.
  if (slot_) return slot_->contentChanged();
  report(damage());
}

void Control::report(const Region& damage) {
  if (slot_)
    slot_->contentChanged();
  else if (site_)
    site_->invalidated(*this, damage);
}

const Region& Control::damage() {
  if (!damageKnown_) {
    detail::Tracker::damageOf(*this, damage_);
    damageKnown_ = true;
  }
  return damage_;
}

void Control::RaiseEvent(int number) {
  const auto& events = info_.events();
  if (number < 1 || number > static_cast<int>(events.size())) return;
  if (site_) site_->eventRaised(*this, events[number - 1]);
}

void Control::PropertyChanged(std::string_view name) {
  if (site_) site_->propertyChanged(*this, name);
}

Site::~Site() = default;
void Site::eventRaised(Control&, const EventInfo&) {}
void Site::propertyChanged(Control&, std::string_view) {}
void Site::invalidated(Control&, const Region&) {}

}  // namespace kyv
