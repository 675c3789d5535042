#pragma once
// FoursegWidget: the four-digit seven-segment display Kyv4Digit.fourseg as a typed Qt
// widget, showing -999 to 9999; its members are DigitsWidget's.
#include "kyv/qt/DigitsWidget.h"

namespace kyvqt {

class KYVQT_API FoursegWidget : public DigitsWidget {
  Q_OBJECT

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "Kyv4Digit.fourseg";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit FoursegWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit FoursegWidget(kyv::Registry* registry, QWidget* parent = nullptr);
};

}  // namespace kyvqt
