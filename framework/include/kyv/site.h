#pragma once
// Site: how a host hears from a control. Calls come synchronously, on the thread that
// called the control, and handlers may call back into the control.
#include <string_view>

#include "kyv/export.h"

namespace kyv {

class Control;
struct EventInfo;

class KYV_API Site {
 public:
  virtual ~Site();
  // The control raised an event; runs before the raising call goes on.
  virtual void eventRaised(Control& control, const EventInfo& event);
  // A persisted property changed (its name is also its bag key).
  virtual void propertyChanged(Control& control, std::string_view property);
  // The control needs repainting; sent once until the host paints (Control::clearDirty).
  virtual void invalidated(Control& control);
};

}  // namespace kyv
