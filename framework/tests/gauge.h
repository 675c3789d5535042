#pragma once
// A small control used by the framework's tests: one field, one element-backed property,
// a property over an element array, a method that writes its argument back, two events.
#include "kyv/control.h"
#include "kyv/element_array.h"
#include "kyv/elements.h"

class Gauge : public kyv::Control {
 public:
  explicit Gauge(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  int16_t Limit() const { return limit_; }
  void setLimit(int16_t v);
  kyv::Colour Colour() const { return box.BackColor(); }
  void setColour(kyv::Colour c);
  // Reads every tick and returns the last one; writes each tick, notifying per tick.
  bool Ticks() const;
  void setTicks(bool visible);
  // Raises High when value > Limit, else Low; returns Limit - value in `value`.
  void Feed(int16_t& value);

  void InitProperties() override { limit_ = 10; }

  kyv::PictureBox box;
  kyv::ElementArray<kyv::LineElement> tick;

 private:
  int16_t limit_ = 0;
};
