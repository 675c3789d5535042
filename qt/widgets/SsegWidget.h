#pragma once
// SsegWidget: the single seven-segment digit Kyv1Digit.sseg as a typed Qt widget, showing
// 0 to 9; its members are DigitsWidget's.
#include "kyv/qt/DigitsWidget.h"

namespace kyvqt {

class KYVQT_API SsegWidget : public DigitsWidget {
  Q_OBJECT

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "Kyv1Digit.sseg";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit SsegWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit SsegWidget(kyv::Registry* registry, QWidget* parent = nullptr);
};

}  // namespace kyvqt
