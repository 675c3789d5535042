#pragma once
// A stand-in for the single digit, registered under its class name "Kyv1Digit.sseg" in a
// registration file of the tests' own. It has send and BackColor, declared in another
// order and with other dispatch ids than the real digit, and no DisplayColor; every
// send is recorded in one log shared by all instances, so tests can see the order in
// which a display feeds its digits.
#include <cstdint>
#include <vector>

#include "kyv/control.h"

class KYV_API ProbeDigit : public kyv::Control {
 public:
  struct Send {
    const kyv::Control* digit;
    int32_t amount;
  };
  // The sends of every instance, oldest first.
  static std::vector<Send>& log();

  explicit ProbeDigit(kyv::Registry* registry = nullptr);
  static const kyv::ClassInfo& classTable();

  kyv::Colour BackColor() const { return back_; }
  void setBackColor(kyv::Colour c) { back_ = c; }
  int16_t BorderStyle() const { return border_; }
  void setBorderStyle(int16_t b) { border_ = b; }
  int32_t send(int32_t& amount);

 private:
  kyv::Colour back_{0x80000008};
  int16_t border_ = 1;
};
