#pragma once
// Site: how a host hears from a control. Calls come synchronously, on the thread that
// called the control, and handlers may call back into the control.
#include <string_view>

#include "kyv/export.h"

namespace kyv {

class Control;
class Region;
struct EventInfo;

class KYV_API Site {
 public:
  virtual ~Site();
  // The control raised an event; runs before the raising call goes on.
  virtual void eventRaised(Control& control, const EventInfo& event);
  // A persisted property changed (its name is also its bag key).
  virtual void propertyChanged(Control& control, std::string_view property);
  // The control's picture changed: `damage` holds the device pixels that may now differ
  // from its last paint (at that paint's twips per pixel, from the control's top-left
  // corner), each time all of them. Sent when a late-bound call that changed the picture
  // ends (the outermost one, when calls nest), and at the first change made outside such a
  // call after a paint, with the whole picture as the damage (the change is still to be
  // made; Control::damage() knows it once it is). A host that keeps the picture repaints the region (or paints with
  // RenderOptions::onlyDamage); one that queues the control for painting may ignore it.
  virtual void invalidated(Control& control, const Region& damage);
};

}  // namespace kyv
