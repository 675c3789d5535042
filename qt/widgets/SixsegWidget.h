#pragma once
// SixsegWidget: the six-digit seven-segment display Kyv6Digit.sixseg as a typed Qt widget,
// showing -99999 to 999999; its members are DigitsWidget's.
#include "kyv/qt/DigitsWidget.h"

namespace kyvqt {

class KYVQT_API SixsegWidget : public DigitsWidget {
  Q_OBJECT

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "Kyv6Digit.sixseg";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit SixsegWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit SixsegWidget(kyv::Registry* registry, QWidget* parent = nullptr);
};

}  // namespace kyvqt
