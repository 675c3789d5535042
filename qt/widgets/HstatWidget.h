#pragma once
// HstatWidget: the horizontal threshold status bar KyvHStatus.Hstat as a typed Qt widget;
// its members are StatusBarWidget's.
//
//   kyvqt::HstatWidget bar;
//   bar.setMaxlimit(200);
//   QObject::connect(&bar, &kyvqt::HstatWidget::maxThreshReached, [] { qDebug() << "high"; });
//   bar.incbar(150);                     // false, and errorOccurred, when rejected
#include "kyv/qt/StatusBarWidget.h"

namespace kyvqt {

class KYVQT_API HstatWidget : public StatusBarWidget {
  Q_OBJECT

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "KyvHStatus.Hstat";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit HstatWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit HstatWidget(kyv::Registry* registry, QWidget* parent = nullptr);
};

}  // namespace kyvqt
