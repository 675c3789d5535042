#include "Lamp.h"

#include "kyv/class_table.h"
#include "kyv/plugin.h"

namespace kyvsample {

namespace {

constexpr float kSide = 600;
constexpr kyv::Colour kOnColour{0x00FF00};
constexpr kyv::Colour kOffColour{0x808080};
constexpr int kSwitched = 1;  // the event's number

}  // namespace

const kyv::ClassInfo& Lamp::classTable() {
  using T = kyv::ClassTable<Lamp>;
  using K = Lamp;
  static const T table{
      "KyvSample.Lamp",
      {kSide, kSide},
      {.title = "Lamp",
       .description = "A face that shows its colour while lit",
       .picture = kyv::PictureKind::Level,
       .growsAcross = false,
       .growsDown = false},
      {T::property<&K::Lit, &K::setLit>("Lit", 0x68030000, "Whether the lamp shows OnColor."),
       T::property<&K::OnColor, &K::setOnColor>("OnColor", 0x68030001, "The colour while lit."),
       T::feed<&K::Switch>(
           "Switch", 0x60030002, "Lights the lamp for 1, puts it out for 0.",
           {.argument = "On", .shows = kyv::ReadingRange{0, 1}, .takes = kyv::ReadingRange{0, 1}, .samples = {1}})},
      {{"Switched", kSwitched, "Raised by Switch for 0 or 1."}},
      {T::stored<&K::Lit>("Lit", false,
                          [](K& c, bool v) {
                            c.lit_ = v;
                            c.show();
                          }),
       T::stored<&K::OnColor>("OnColor", kOnColour, [](K& c, kyv::Colour v) {
         c.on_ = v;
         c.show();
       })}};
  return table;
}

Lamp::Lamp(kyv::Registry* registry) : Control(classTable(), registry), face(UserControl(), "face"), on_(kOnColour) {
  face.setRectTwips(0, 0, kSide, kSide);
  show();
}

void Lamp::setLit(bool lit) {
  lit_ = lit;
  show();
  PropertyChanged("Lit");
}

void Lamp::setOnColor(kyv::Colour c) {
  on_ = c;
  show();
  PropertyChanged("OnColor");
}

void Lamp::Switch(int16_t& on) {
  if (on != 0 && on != 1) return;
  setLit(on == 1);
  RaiseEvent(kSwitched);
}

void Lamp::Resize() {
  face.setWidth(UserControl().ScaleWidth());
  face.setHeight(UserControl().ScaleHeight());
}

void Lamp::show() { face.setBackColor(lit_ ? on_ : kOffColour); }

}  // namespace kyvsample

KYV_CONTROL_LIBRARY(kyv::plugin<kyvsample::Lamp>())
