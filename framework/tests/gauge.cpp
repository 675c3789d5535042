#include "gauge.h"

#include "kyv/arith.h"
#include "kyv/class_table.h"

using kyv::Variant;
using kyv::VarType;

const kyv::ClassInfo& Gauge::classTable() {
  using T = kyv::ClassTable<Gauge>;
  static const T table{"KyvTestGauge.Gauge",
                       1500,
                       600,
                       {
                           T::property<&Gauge::Limit, &Gauge::setLimit>("Limit", 0x68030002, "the limit"),
                           T::property<&Gauge::Colour, &Gauge::setColour>("Colour", 0x68030001),
                           T::property<&Gauge::Ticks, &Gauge::setTicks>("Ticks", 0x68030000),
                           T::method<&Gauge::Feed>("Feed", 0x60030003),
                       },
                       {{"Low", 1, "value at or below the limit"}, {"High", 2, "value above the limit"}},
                       {
                           T::stored<&Gauge::Limit>("Limit", int16_t(10), [](Gauge& g, int16_t v) { g.limit_ = v; }),
                           // One entry per tick.
                           {"Ticks", int16_t(1), VarType::Boolean,
                            [](Gauge& g, int i, const Variant& v) { g.tick(i + 1).setVisible(v.toBoolean()); },
                            [](Gauge& g, int i) { return Variant(g.tick(i + 1).Visible()); }, 3, 3},
                           T::stored<&Gauge::Colour>("Colour", kyv::Colour{0x8000000F},
                                                     [](Gauge& g, kyv::Colour c) { g.box.setBackColor(c); }),
                       }};
  return table;
}

Gauge::Gauge(kyv::Registry* registry) : Control(classTable(), registry), box(UserControl(), "box"), tick(box, "tick") {
  box.setRectTwips(0, 0, 1500, 600);
  for (int i = 1; i <= 3; ++i) tick.create(i);
}

void Gauge::setLimit(int16_t v) {
  limit_ = v;
  PropertyChanged("Limit");
}

void Gauge::setColour(kyv::Colour c) {
  box.setBackColor(c);
  PropertyChanged("Colour");
}

bool Gauge::Ticks() const {
  bool visible = false;
  tick.forEach([&](const kyv::LineElement& l) { visible = l.Visible(); });
  return visible;
}

void Gauge::setTicks(bool visible) {
  tick.forEach([&](kyv::LineElement& l) {
    l.setVisible(visible);
    PropertyChanged("Ticks");
  });
}

void Gauge::Feed(int16_t& value) {
  const bool high = value > limit_;
  value = kyv::toInt16(int32_t{limit_} - value);
  RaiseEvent(high ? 2 : 1);
}
