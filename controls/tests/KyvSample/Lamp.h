#pragma once
// Lamp ("KyvSample.Lamp"): a control of the tests, added the way a new control kind is. A
// face that fills the control and shows OnColor while Lit, its off colour otherwise.
// Switch feeds it 0 or 1; its class table says what every host makes of that, so the lamp
// reaches the Qt widgets and Python as a kind of the family does.
#include "kyv/control.h"
#include "kyv/elements.h"

namespace kyvsample {

class KYV_API Lamp : public kyv::Control {
 public:
  explicit Lamp(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  // Whether the lamp shows OnColor.
  bool Lit() const { return lit_; }
  void setLit(bool lit);
  // The colour of the face while lit.
  kyv::Colour OnColor() const { return on_; }
  void setOnColor(kyv::Colour c);

  // Lights the lamp for 1 and puts it out for 0, notifying Lit and raising Switched; any
  // other value leaves the lamp as it is. Returns nothing and keeps `on`.
  void Switch(int16_t& on);

  void Resize() override;

  // The face, the one element.
  kyv::PictureBox face;

 private:
  void show();
  bool lit_ = false;
  kyv::Colour on_;
};

}  // namespace kyvsample
