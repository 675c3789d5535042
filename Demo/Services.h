#pragma once
// What the form takes from outside and a test may replace: the colour dialog shared by
// all colour buttons and the random-number generator that feeds the random timers.
#include <cstdint>
#include <random>

class QWidget;

namespace kyvdemo {

// The shared colour dialog. ShowColor lets the user pick a colour and returns when the
// dialog closes; Color is the colour last chosen (0x00BBGGRR), 0 until one was chosen.
// A dialog closed without a new choice keeps the previous one.
class ColourPicker {
 public:
  virtual ~ColourPicker() = default;
  virtual void ShowColor(QWidget* parent) = 0;
  virtual uint32_t Color() const = 0;
};

// A modal QColorDialog that starts from the colour last chosen.
class ColourDialog final : public ColourPicker {
 public:
  void ShowColor(QWidget* parent) override;
  uint32_t Color() const override { return colour_; }

 private:
  uint32_t colour_ = 0;
};

// The random-number generator: Randomize re-seeds it from the clock, Rnd returns the next
// value r with 0 <= r < 1.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Randomize() = 0;
  virtual float Rnd() = 0;
};

class ClockRandom final : public RandomSource {
 public:
  void Randomize() override;
  float Rnd() override;

 private:
  std::mt19937 engine_{std::random_device{}()};
};

}  // namespace kyvdemo
